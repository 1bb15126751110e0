#pragma once
// Sleeps in the event loop until a UI event, a timer or input wakes it: input on a descriptor,
// or the port's own input notification.

#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

class TCustomComPort;

class TPortWaiter {
public:
    /// Watches fd at once, as within a transaction.
    explicit TPortWaiter(int fd);
    /// Watches the port's input notification at once (the port must be open), so that bytes
    /// its device layer holds already wake it as well as bytes still on the line.
    explicit TPortWaiter(TCustomComPort &Port);
    ~TPortWaiter();
    TPortWaiter(const TPortWaiter &) = delete;
    TPortWaiter &operator=(const TPortWaiter &) = delete;

    /// The waiter of the port's open session, kept from one transaction to the next: adding
    /// and removing a watch wakes the event loop once more each time. It lets go before the
    /// port closes its handle; a closed or reopened port gets a new one.
    static std::shared_ptr<TPortWaiter> ForPort(TCustomComPort &Port);

    /// Handles the pending events; with `sleep` set, first sleeps until something happens.
    /// Returns true when input was signalled during the pass.
    bool Wait(bool sleep);

    /// Input was signalled that a read did not find (a line in an error state stays
    /// readable): stop watching for a short while instead of waking at once again.
    void Rest();
    /// More input is due in about `ms`: stop watching until then, and wake as for input when
    /// the time is up. A pause or a new transaction ends such a rest.
    void RestFor(int ms);

    /// Between transactions: the watch stays, but input that wakes it (stray bytes, a line
    /// that stays readable) ends it until the next Resume, so nothing wakes the loop again.
    void Pause();
    /// A transaction begins: watch (again).
    void Resume();
    /// The handle is closing: never watch again.
    void Release();
    bool Released() const { return FReleased; }

private:
    void Activated();
    void SetUpRest();
    void EndDueRest();
    void Watch(bool On);
    bool Watching() const;

    std::unique_ptr<QSocketNotifier> FNotifier; ///< of a descriptor; null for a port
    TCustomComPort *FPort = nullptr;
    QMetaObject::Connection FSignal;
    QTimer FRest;
    bool FWoken = false;
    bool FDue = false; ///< the rest ends with a wake (RestFor)
    bool FActive = true;
    bool FReleased = false;
};
