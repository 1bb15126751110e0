#pragma once
// The application-wide wait cursor, the one place that switches it: a connection shows it
// when it starts and removes it when it ends, so it is a state rather than a scope.

/// Shows the wait cursor over every window of the application, or removes it. Asking for
/// the state it is already in changes nothing.
void ShowWaitCursor(bool Wait);

/// True while the wait cursor is shown.
bool WaitCursorShown();
