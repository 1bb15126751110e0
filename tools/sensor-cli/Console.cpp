#include "tools/sensor-cli/Console.h"

#include <QStringList>

#include <cstdio>

TConsole::TConsole(bool progress) : FProgress(progress) {}

void TConsole::Message(const QString &port, const QString &text)
{
    std::lock_guard guard(FLock);
    ClearStatus();
    std::fprintf(stderr, "%s: %s\n", port.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    DrawStatus();
}

void TConsole::BeginWait(const QString &port, qint64 expectedMs)
{
    std::lock_guard guard(FLock);
    TWait &wait = FWaits[port];
    wait.Since.start();
    wait.ExpectedMs = expectedMs;
    DrawStatus();
}

void TConsole::EndWait(const QString &port)
{
    std::lock_guard guard(FLock);
    FWaits.erase(port);
    ClearStatus();
    DrawStatus();
}

void TConsole::Tick()
{
    std::lock_guard guard(FLock);
    DrawStatus();
}

void TConsole::ClearStatus()
{
    if (!FStatusShown)
        return;
    std::fputs("\r\033[K", stderr);
    FStatusShown = false;
}

void TConsole::DrawStatus()
{
    if (!FProgress || FWaits.empty())
        return;
    QStringList parts;
    for (const auto &[port, wait] : FWaits)
        parts << QStringLiteral("%1 %2 of %3 s")
                     .arg(port)
                     .arg(double(wait.Since.elapsed()) / 1000.0, 0, 'f', 1)
                     .arg(double(wait.ExpectedMs) / 1000.0, 0, 'f', 1);
    std::fprintf(stderr, "\r\033[Kcalibrating: %s", parts.join(QStringLiteral(", ")).toLocal8Bit().constData());
    std::fflush(stderr);
    FStatusShown = true;
}
