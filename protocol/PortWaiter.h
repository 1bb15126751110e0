#pragma once
// Sleeps in the event loop until a UI event, a timer or input on a descriptor wakes it.

#include <QSocketNotifier>
#include <QTimer>

#include <memory>

class TCustomComPort;

#ifdef Q_OS_WIN
/// Windows has no readiness of a COM device that the event loop could wait for: while it is
/// enabled, the watch wakes the loop every millisecond to look for input.
class TInputWatch {
public:
    TInputWatch(int fd, QSocketNotifier::Type) : FFd(fd)
    {
        Timer.setTimerType(Qt::PreciseTimer);
        Timer.setInterval(1);
        Timer.start();
    }
    int socket() const { return FFd; }
    void setEnabled(bool on) { on ? Timer.start() : Timer.stop(); }
    bool isEnabled() const { return Timer.isActive(); }
    QTimer Timer;

private:
    int FFd;
};
#else
using TInputWatch = QSocketNotifier;
#endif

class TPortWaiter {
public:
    /// Watches fd at once, as within a transaction.
    explicit TPortWaiter(int fd);

    /// The waiter of the port's open descriptor, kept from one transaction to the next: adding
    /// and removing a watch wakes the event loop once more each time. It lets go of the
    /// descriptor before the port closes it; a closed or reopened port gets a new one.
    static std::shared_ptr<TPortWaiter> ForPort(TCustomComPort &Port);

    /// Handles the pending events; with `sleep` set, first sleeps until something happens.
    /// Returns true when the descriptor had input during the pass.
    bool Wait(bool sleep);

    /// The descriptor signalled input that a read did not find (a line in an error state
    /// stays readable): stop watching it for a short while instead of waking at once again.
    void Rest();

    /// Between transactions: the watch stays, but input that wakes it (stray bytes, a line
    /// that stays readable) ends it until the next Resume, so nothing wakes the loop again.
    void Pause();
    /// A transaction begins: watch the descriptor (again).
    void Resume();
    /// The descriptor is closing: never watch it again.
    void Release();
    bool Released() const { return FReleased; }
    int Descriptor() const { return FNotifier.socket(); }

private:
    void Activated();

    TInputWatch FNotifier;
    QTimer FRest;
    bool FWoken = false;
    bool FActive = true;
    bool FReleased = false;
};
