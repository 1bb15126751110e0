#include "app/MessageBox.h"

#include <QPointer>
#include <QWidget>

namespace {
QPointer<QWidget> boxOwner;
MessageBoxHook boxHook;
} // namespace

void ShowMessageBox(const QString &text, const QString &caption, QMessageBox::Icon icon, const QString &details)
{
    if (boxHook) {
        // A copy: the hook may replace itself while it runs.
        const MessageBoxHook hook = boxHook;
        hook({text, caption, icon, details});
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, boxOwner.data());
    box.setInformativeText(details);
    box.exec();
}

void SetMessageBoxOwner(QWidget *owner)
{
    boxOwner = owner;
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook)
{
    return std::exchange(boxHook, std::move(hook));
}
