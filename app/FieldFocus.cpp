#include "app/FieldFocus.h"

#include "app/Application.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QLineEdit>

TFieldFocus::TFieldFocus(Handler onEnter, Handler onExit, QObject *parent)
    : QObject(parent), FOnEnter(std::move(onEnter)), FOnExit(std::move(onExit))
{
}

void TFieldFocus::Watch(QLineEdit *field)
{
    field->installEventFilter(this);
}

bool TFieldFocus::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut)
        return false;
    auto *field = qobject_cast<QLineEdit *>(watched);
    if (!field || FProgramMoves > 0)
        return false;
    const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();

    if (event->type() == QEvent::FocusIn) {
        if (field == FCurrent)
            return false; // the window got the focus back; the user never left the field
        if (FCurrent)
            Leave(FCurrent); // its leave happened while the window was inactive
        FCurrent = field;
        Enter(field);
        return false;
    }

    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return false; // a box, a menu or another window took the focus for a while
    if (field == FCurrent) {
        FCurrent = nullptr;
        Leave(field);
    }
    return false;
}

void TFieldFocus::RunPending()
{
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void TFieldFocus::Enter(QLineEdit *field)
{
    if (FPendingExit.contains(field)) {
        // Keep the order exit-then-entry when the user comes straight back to the field.
        QMetaObject::invokeMethod(
            this, [this, guard = QPointer(field)] { if (guard) RunHandler([&] { FOnEnter(guard); }); },
            Qt::QueuedConnection);
        return;
    }
    try {
        FOnEnter(field);
    } catch (...) {
        // Shown from the event loop: a modal box inside a focus change would nest in it.
        QMetaObject::invokeMethod(
            this, [error = std::current_exception()] { RunHandler([&] { std::rethrow_exception(error); }); },
            Qt::QueuedConnection);
    }
}

void TFieldFocus::Leave(QLineEdit *field)
{
    FPendingExit.insert(field);
    QMetaObject::invokeMethod(
        this,
        [this, raw = static_cast<const QLineEdit *>(field), guard = QPointer(field)] {
            FPendingExit.remove(raw);
            if (guard)
                RunHandler([&] { FOnExit(guard); });
        },
        Qt::QueuedConnection);
}
