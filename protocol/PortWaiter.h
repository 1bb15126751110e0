#pragma once
// Sleeps in the event loop until a UI event, a timer or input on a descriptor wakes it.

#include <QSocketNotifier>
#include <QTimer>

class TPortWaiter {
public:
    explicit TPortWaiter(int fd);

    /// Handles the pending events; with `sleep` set, first sleeps until something happens.
    /// Returns true when the descriptor had input during the pass.
    bool Wait(bool sleep);

    /// The descriptor signalled input that a read did not find (a line in an error state
    /// stays readable): stop watching it for a short while instead of waking at once again.
    void Rest();

private:
    QSocketNotifier FNotifier;
    QTimer FRest;
    bool FWoken = false;
};
