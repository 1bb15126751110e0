#include "tools/sensor-cli/Console.h"

#include <cstdio>
#ifdef Q_OS_WIN
#ifndef NOMINMAX // the C++ library may have asked for it already
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

/// The terminal's size; 80 by 24 when it does not say.
void TerminalSize(int &columns, int &lines)
{
#ifdef Q_OS_WIN
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const bool known = GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info);
    const int width = known ? info.srWindow.Right - info.srWindow.Left + 1 : 0;
    const int height = known ? info.srWindow.Bottom - info.srWindow.Top + 1 : 0;
#else
    winsize size{};
    const bool known = ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0;
    const int width = known ? size.ws_col : 0;
    const int height = known ? size.ws_row : 0;
#endif
    columns = width > 0 ? width : 80;
    lines = height > 0 ? height : 24;
}

QString Seconds(double s)
{
    return QString::number(s, 'f', 1);
}

using TShownWaits = QList<QPair<QString, QPair<double, double>>>;

/// The status block's rows for a terminal `columns` wide and `lines` high: one per port,
/// "calibrating PORT 1.2 of 20.0 s", shortened to fit; when they would not fit the height,
/// one row for all of them.
QStringList StatusRows(const TShownWaits &waits, int columns, int lines)
{
    // The last column stays free: a character written there leaves the cursor in a state in
    // which terminals disagree about the next line end.
    const int width = std::max(columns - 1, 1);
    QStringList rows;
    if (waits.size() >= lines) {
        double longest = 0;
        for (const auto &wait : waits)
            longest = std::max(longest, wait.second.second);
        rows << QStringLiteral("calibrating %1 ports, up to %2 s").arg(waits.size()).arg(Seconds(longest)).left(width);
        return rows;
    }
    for (const auto &[port, times] : waits) {
        QString row = QStringLiteral("calibrating %1 %2 of %3 s").arg(port, Seconds(times.first), Seconds(times.second));
        if (row.size() > width)
            row = QStringLiteral("%1 %2/%3 s").arg(port, Seconds(times.first), Seconds(times.second));
        rows << row.left(width);
    }
    return rows;
}

} // namespace

TConsole::TConsole(bool progress, const QStringList &ports) : FProgress(progress)
{
    for (const QString &port : ports)
        FWaits.emplace_back().Port = port;
}

TConsole::TWait *TConsole::Find(const QString &port)
{
    for (TWait &wait : FWaits)
        if (wait.Port == port)
            return &wait;
    FWaits.emplace_back().Port = port;
    return &FWaits.back();
}

void TConsole::Message(const QString &port, const QString &text)
{
    Line(port + QStringLiteral(": ") + text);
}

void TConsole::Line(const QString &text)
{
    std::lock_guard guard(FLock);
    ClearStatus();
    QByteArray bytes = text.toLocal8Bit();
    if (!bytes.endsWith('\n'))
        bytes.append('\n');
    Write(bytes);
    DrawStatus();
}

void TConsole::BeginWait(const QString &port, qint64 expectedMs)
{
    std::lock_guard guard(FLock);
    TWait &wait = *Find(port);
    wait.Running = true;
    wait.Since.start();
    wait.ExpectedMs = expectedMs;
    ClearStatus();
    DrawStatus();
}

void TConsole::EndWait(const QString &port)
{
    std::lock_guard guard(FLock);
    Find(port)->Running = false;
    ClearStatus();
    DrawStatus();
}

void TConsole::Tick()
{
    std::lock_guard guard(FLock);
    ClearStatus();
    DrawStatus();
}

void TConsole::Write(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void TConsole::ClearStatus()
{
    if (FRowsShown == 0)
        return;
    // From the last row up to the first, which leaves the cursor where the block began.
    QByteArray clear("\r\033[K");
    for (int i = 1; i < FRowsShown; ++i)
        clear += "\033[A\r\033[K";
    Write(clear);
    FRowsShown = 0;
}

void TConsole::DrawStatus()
{
    if (!FProgress)
        return;
    TShownWaits waits;
    for (const TWait &wait : FWaits)
        if (wait.Running)
            waits.append({wait.Port, {double(wait.Since.elapsed()) / 1000.0, double(wait.ExpectedMs) / 1000.0}});
    if (waits.isEmpty())
        return;
    int columns = 0, lines = 0;
    TerminalSize(columns, lines);
    const QStringList rows = StatusRows(waits, columns, lines);
    Write(rows.join(QLatin1Char('\n')).toLocal8Bit());
    FRowsShown = int(rows.size());
}
