#include "app/MessageBox.h"

#include <QPointer>
#include <QWidget>

namespace {
QPointer<QWidget> boxOwner;
MessageBoxHook boxHook;
} // namespace

void ShowMessageBox(const QString &text, const QString &caption, QMessageBox::Icon icon)
{
    if (boxHook) {
        // A copy: the hook may replace itself while it runs.
        const MessageBoxHook hook = boxHook;
        hook({text, caption, icon});
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, boxOwner.data());
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
