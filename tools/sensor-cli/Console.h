#pragma once
// Standard error of tq-sensor, shared by the threads of all ports: whole lines only, and on a
// terminal one status line at the bottom that shows each running calibration's elapsed and
// expected time.

#include <QElapsedTimer>
#include <QString>

#include <map>
#include <mutex>

class TConsole {
public:
    /// `progress`: draw the status line (standard error is a terminal).
    explicit TConsole(bool progress);

    /// One message line, "PORT: text".
    void Message(const QString &port, const QString &text);

    /// A calibration on `port` started and is expected to take `expectedMs`.
    void BeginWait(const QString &port, qint64 expectedMs);
    void EndWait(const QString &port);

    /// Redraws the status line (call a few times a second); clears it when nothing waits.
    void Tick();

private:
    struct TWait {
        QElapsedTimer Since;
        qint64 ExpectedMs = 0;
    };
    void ClearStatus();
    void DrawStatus();

    const bool FProgress;
    std::mutex FLock;
    std::map<QString, TWait> FWaits;
    bool FStatusShown = false;
};
