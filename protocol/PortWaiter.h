#pragma once
// Sleeps in the event loop until a UI event, a timer or input on a descriptor wakes it.

#include <QSocketNotifier>
#include <QTimer>

class TPortWaiter {
public:
    explicit TPortWaiter(int fd);

    /// Handles pending events; when `block` is true, first sleeps until something happens.
    /// Call it with block set only after a read found the input empty.
    void Wait(bool block);

private:
    QSocketNotifier FNotifier;
    // A descriptor that stays readable while reads return nothing (a line in an error state)
    // would wake every pass; the notifier then rests for a short while instead of spinning.
    QTimer FRest;
    bool FWoken = false;
};
