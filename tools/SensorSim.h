#pragma once
// The simulated sensor on a line: reads request frames from a descriptor, answers them as the
// sensor model says, and shows the faults and timing its options ask for.

#include "tools/SensorModel.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <mutex>

class TSensorSim {
public:
    /// `fd` is the line (a pty master or a terminal device); it is not owned.
    TSensorSim(int fd, const TSensorOptions &options);

    /// Called with every whole request frame as it arrives, before it is answered.
    void SetRequestSink(std::function<void(const QByteArray &)> Sink) { FSink = std::move(Sink); }

    /// Serves until `stopFd` becomes readable (returns 0) or the line fails (returns errno).
    int Serve(int stopFd);

    // Thread-safe views for tests and demos.
    QList<QByteArray> Requests() const; ///< every whole request frame received, in order
    TSensorParams Params() const;
    TSensorParams Saved() const;
    quint16 CalOn() const;
    quint16 CalOff() const;
    bool CommMode() const;
    int Replies() const;

private:
    void Answer(const QByteArray &request, qint64 receivedNs, int stopFd);
    bool Send(const QByteArray &bytes, int stopFd);

    const int FFd;
    const TSensorOptions FOptions;
    mutable std::mutex FLock;
    TSensorModel FModel;
    QList<QByteArray> FRequests;
    std::function<void(const QByteArray &)> FSink;
    int FReplies = 0;
    bool FFailed = false;
    int FError = 0;
};
