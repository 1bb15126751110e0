#pragma once
// Standard error of tq-sensor, shared by the threads of all ports: whole lines only, and on a
// terminal a status block at the bottom with one row per running calibration (elapsed and
// expected time), in the order the ports were given, each row cut to the terminal's width so
// that redrawing it in place never leaves stale rows behind.

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <mutex>
#include <vector>

class TConsole {
public:
    /// `progress`: draw the status block (standard error is a terminal). `ports` gives the
    /// order of its rows.
    TConsole(bool progress, const QStringList &ports);

    /// One message line, "PORT: text".
    void Message(const QString &port, const QString &text);
    /// One line as it is (a trace line, with or without its line end).
    void Line(const QString &text);

    /// A calibration on `port` started and is expected to take `expectedMs`.
    void BeginWait(const QString &port, qint64 expectedMs);
    void EndWait(const QString &port);

    /// Redraws the status block (call a few times a second); clears it when nothing waits.
    void Tick();

private:
    struct TWait {
        QString Port;
        bool Running = false;
        QElapsedTimer Since;
        qint64 ExpectedMs = 0;
    };
    TWait *Find(const QString &port);
    void Write(const QByteArray &bytes);
    void ClearStatus();
    void DrawStatus();

    const bool FProgress;
    std::mutex FLock;
    std::vector<TWait> FWaits;
    int FRowsShown = 0;
};
