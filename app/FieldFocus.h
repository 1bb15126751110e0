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

    /// While one lives, focus moves are the program's, not the user's (the toolkit moves the
    /// focus off every control that a connection disables): they run no entry or exit call,
    /// and the field the user was in stays the current one.
    class TProgramMove {
    public:
        explicit TProgramMove(TFieldFocus &focus) : FFocus(focus) { ++FFocus.FProgramMoves; }
        ~TProgramMove() { --FFocus.FProgramMoves; }
        TProgramMove(const TProgramMove &) = delete;
        TProgramMove &operator=(const TProgramMove &) = delete;

    private:
        TFieldFocus &FFocus;
    };

    /// Runs now the exit and entry calls that are still waiting for the event loop.
    void RunPending();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Enter(QLineEdit *field);
    void Leave(QLineEdit *field);

    Handler FOnEnter;
    Handler FOnExit;
    QPointer<QLineEdit> FCurrent;         ///< the field the user is in, if any
    QSet<const QLineEdit *> FPendingExit; ///< fields whose exit call has not run yet
    int FProgramMoves = 0;
};
