#include "protocol/Timer.h"

#include "serial/ExceptionDisplay.h"

TTimer::TTimer(QObject *parent) : QObject(parent)
{
    // Precise: the 50 ms time-outs must not stretch by the coarse timer's slack.
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, &TTimer::Tick);
}

void TTimer::SetEnabled(bool value)
{
    if (value == FEnabled)
        return;
    FEnabled = value;
    UpdateTimer();
}

void TTimer::SetInterval(int value)
{
    if (value == FInterval)
        return;
    FInterval = value;
    UpdateTimer();
}

void TTimer::UpdateTimer()
{
    FTimer.stop();
    if (FEnabled && FInterval > 0)
        FTimer.start(FInterval);
}

void TTimer::Tick()
{
    if (!FEnabled || !FOnTimer)
        return;
    try {
        FOnTimer(this);
    } catch (...) {
        ShowCurrentException();
    }
}
