#include "protocol/Timer.h"

#include "serial/ExceptionDisplay.h"

#include <algorithm>

namespace {
constexpr qint64 NsPerMs = 1000000;
}

TTimer::TTimer(QObject *parent) : QObject(parent)
{
    // Precise: the 50 ms time-outs must not stretch by the coarse timer's slack.
    FTimer.setTimerType(Qt::PreciseTimer);
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, &TTimer::Elapsed);
    FClock.start();
}

void TTimer::SetEnabled(bool value)
{
    if (value == FEnabled)
        return;
    FEnabled = value;
    if (FEnabled)
        StartPeriod();
    // Disabled, an armed system timer goes off once more and does nothing.
}

void TTimer::SetInterval(int value)
{
    if (value == FInterval)
        return;
    FInterval = value;
    if (FEnabled)
        StartPeriod();
}

void TTimer::StartPeriod()
{
    if (FInterval <= 0) {
        FTimer.stop();
        return;
    }
    const qint64 now = FClock.nsecsElapsed();
    FDueNs = now + qint64(FInterval) * NsPerMs;
    // Armed for no later than the new due time: it goes off then, or early and is re-armed.
    if (!FTimer.isActive() || FArmedNs > FDueNs)
        ArmFor(now);
}

void TTimer::Elapsed()
{
    if (!FEnabled || FInterval <= 0)
        return;
    const qint64 now = FClock.nsecsElapsed();
    if (now < FDueNs) {
        ArmFor(now);
        return;
    }
    // Repeating: the next period counts from this tick's due time, as a system timer's would;
    // ticks a loaded machine could not deliver in time are not made up for.
    FDueNs += qint64(FInterval) * NsPerMs;
    if (FDueNs <= now)
        FDueNs = now + qint64(FInterval) * NsPerMs;
    Tick();
    // The handler may have disabled the timer, or started a new period itself.
    if (FEnabled && FInterval > 0 && !FTimer.isActive())
        ArmFor(FClock.nsecsElapsed());
}

void TTimer::ArmFor(qint64 nowNs)
{
    const qint64 ms = std::max<qint64>(1, (FDueNs - nowNs + NsPerMs - 1) / NsPerMs);
    FArmedNs = nowNs + ms * NsPerMs;
    FTimer.start(int(ms));
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
