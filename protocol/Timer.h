#pragma once
// A repeating timer with the semantics the transaction time-out relies on:
// - enabling an enabled timer changes nothing (the countdown runs on);
// - disabling and enabling it again starts a new full period;
// - changing the interval of an enabled timer starts a new full period;
// - a disabled timer, or one whose interval is not positive, never ticks;
// - ticks are delivered through the event loop, so they are handled only while it runs.

#include "serial/ComTypes.h" // TNotifyEvent

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
    void UpdateTimer();
    void Tick();

    QTimer FTimer;
    bool FEnabled = false;
    int FInterval = DefaultTimerInterval;
    TNotifyEvent FOnTimer;
};
