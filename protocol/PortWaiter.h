#pragma once
// Sleeps in the event loop until a UI event, a timer or input on a descriptor wakes it.

#include <QSocketNotifier>
#include <QTimer>

class TPortWaiter {
public:
    explicit TPortWaiter(int fd);

    /// Handles pending events after a read that got `got` of `asked` bytes. When the read got
    /// less, the input is empty: sleep until something happens. A full read may have more
    /// behind it, so then only the pending events are handled.
    void Wait(int got, int asked);

private:
    QSocketNotifier FNotifier;
    // A descriptor that stays readable while reads return nothing (a line in an error state)
    // would wake every pass; the notifier then rests for a short while instead of spinning.
    QTimer FRest;
    bool FWoken = false;
};
