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

void SetGroupEnabled(bool enabled, QWidget *container)
{
    for (QObject *object : container->children()) {
        auto *child = qobject_cast<QWidget *>(object);
        if (!child)
            continue;
        if (Tag(child) == NestedGroupTag) {
            SetGroupEnabled(enabled, child);
        } else {
            child->setEnabled(enabled);
            // Painted on the event loop's next pass, which a connection reaches within its first
            // wait: the painting overlaps the line time instead of delaying the first request.
            child->update();
        }
    }
    container->setEnabled(enabled);
}
