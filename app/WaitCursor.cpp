#include "app/WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace {
// The toolkit stacks override cursors; ours is pushed at most once.
bool shown = false;
}

void ShowWaitCursor(bool Wait)
{
    if (Wait == shown)
        return;
    shown = Wait;
    if (Wait)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}

bool WaitCursorShown()
{
    return shown;
}
