#pragma once
// A repeating timer with the semantics the transaction time-out relies on:
// - enabling an enabled timer changes nothing (the countdown runs on);
// - disabling and enabling it again starts a new full period;
// - changing the interval of an enabled timer starts a new full period;
// - a disabled timer, or one whose interval is not positive, never ticks;
// - ticks are delivered through the event loop, so they are handled only while it runs.

#include "serial/ComTypes.h" // TNotifyEvent

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

constexpr int DefaultTimerInterval = 1000; ///< ms

class TTimer : public QObject {
    Q_OBJECT
public:
    /// Starts disabled, with an interval of DefaultTimerInterval.
    explicit TTimer(QObject *parent = nullptr);

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);

    /// Period in ms.
    int Interval() const { return FInterval; }
    void SetInterval(int value);

    /// Called on every tick with the timer as sender. An exception it raises goes to the
    /// application's exception display instead of unwinding through the event loop.
    const TNotifyEvent &OnTimer() const { return FOnTimer; }
    void SetOnTimer(TNotifyEvent handler) { FOnTimer = std::move(handler); }

private:
    void StartPeriod();
    void Elapsed();
    void ArmFor(qint64 nowNs);
    void Tick();

    // A new period only moves the due time; the system timer stays armed and, when it goes
    // off early, is armed again for the rest. A transaction restarts its period on every chunk
    // it reads, and re-arming a system timer each time costs more than the chunk itself.
    QTimer FTimer;         ///< single-shot, never later than the due time while enabled
    QElapsedTimer FClock;  ///< runs from construction
    qint64 FDueNs = 0;     ///< on FClock
    qint64 FArmedNs = 0;   ///< when the system timer goes off, on FClock
    bool FEnabled = false;
    int FInterval = DefaultTimerInterval;
    TNotifyEvent FOnTimer;
};
