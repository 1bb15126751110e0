#include "app/GroupEnable.h"

#include <QVariant>
#include <QWidget>

namespace {
const char *const tagProperty = "Tag";
}

int Tag(const QWidget *control)
{
    return control->property(tagProperty).toInt();
}

void SetTag(QWidget *control, int tag)
{
    control->setProperty(tagProperty, tag);
}

void SwitchGroupEnabled(bool enabled, QWidget *container)
{
    for (QObject *object : container->children()) {
        auto *child = qobject_cast<QWidget *>(object);
        if (!child)
            continue;
        if (Tag(child) == NestedGroupTag)
            SwitchGroupEnabled(enabled, child);
        else
            child->setEnabled(enabled);
    }
    container->setEnabled(enabled);
}

void SetGroupEnabled(bool enabled, QWidget *container)
{
    SwitchGroupEnabled(enabled, container);
    // At once: the user sees the controls switch before the line work starts, not whenever
    // the event loop next paints. One paint for the group, not one per control: each
    // synchronous repaint flushes the whole window.
    container->repaint();
}
