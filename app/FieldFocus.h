#pragma once
// Turns focus changes of the watched edit boxes into entry and exit calls as the user sees
// them: the focus moving between controls of the window. A modal box or another window that
// takes the focus for a while is neither a leave nor an entry, so a box shown by the exit call
// cannot start another exit call.

#include <QObject>
#include <QPointer>
#include <QSet>
#include <functional>

class QLineEdit;

class TFieldFocus : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(QLineEdit *field)>;

    /// onExit runs from the event loop just after the focus has moved on, so the boxes it shows
    /// never nest inside a focus change. onEnter runs at once, before any key reaches the field.
    /// Exceptions from either go to the standard exception display.
    TFieldFocus(Handler onEnter, Handler onExit, QObject *parent = nullptr);

    void Watch(QLineEdit *field);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Enter(QLineEdit *field);
    void Leave(QLineEdit *field);

    Handler FOnEnter;
    Handler FOnExit;
    QPointer<QLineEdit> FCurrent;         ///< the field the user is in, if any
    QSet<const QLineEdit *> FPendingExit; ///< fields whose exit call has not run yet
};
