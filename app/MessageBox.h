#pragma once
// The program's one message box: modal, owned by the main window, one OK button.
// Every message the user sees goes through ShowMessageBox, so tests can record and
// dismiss boxes with a hook instead of waiting for a user.

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

struct TMessageBoxCall {
    QString Text;
    QString Caption;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QString Details; ///< a second paragraph below Text, empty for none
};

using MessageBoxHook = std::function<void(const TMessageBoxCall &)>;

/// Shows text in a modal box with one OK button and returns once the user has closed it.
/// Details, when given, stand below the text.
void ShowMessageBox(const QString &text, const QString &caption, QMessageBox::Icon icon,
                    const QString &details = {});

/// The window that owns the boxes (the main window); null leaves them without an owner.
void SetMessageBoxOwner(QWidget *owner);

/// While a hook is set, ShowMessageBox calls it instead of showing a box. Returns the
/// previous hook; an empty hook brings back real boxes.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
