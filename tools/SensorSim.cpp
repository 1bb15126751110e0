#include "tools/SensorSim.h"

#include "protocol/Frame.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <unistd.h>

namespace {

// One byte on a 9600 baud 8N1 line: start bit, eight data bits, stop bit.
constexpr qint64 ByteNs = 10 * 1000000000LL / 9600;
// A request whose bytes pause longer than this is abandoned, as a device's receiver would.
constexpr qint64 InterByteNs = 200 * 1000000LL;
// Stray bytes that never look like the start of a reply.
constexpr char Garbage[] = {'\x55', '\xAA', '\x00', '\xFF', '\x17', '\x1B', '\x30', '\x7F'};

qint64 NowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

/// Sleeps until `deadline`; false when `stopFd` became readable first.
bool SleepUntil(qint64 deadline, int stopFd)
{
    for (;;) {
        const qint64 left = deadline - NowNs();
        if (left <= 0)
            return true;
        pollfd p{stopFd, POLLIN, 0};
        const timespec ts{time_t(left / 1000000000LL), long(left % 1000000000LL)};
        const int r = ppoll(&p, 1, &ts, nullptr);
        if (r > 0)
            return false;
    }
}

/// Splits whole request frames off the front of `pending`, dropping bytes that start none.
QList<QByteArray> TakeFrames(QByteArray &pending)
{
    QList<QByteArray> frames;
    for (;;) {
        const qsizetype start = pending.indexOf(char(FrameStart));
        if (start < 0) {
            pending.clear();
            break;
        }
        pending.remove(0, start);
        if (pending.size() < 2)
            break;
        const int length = quint8(pending.at(1));
        if (length < 4) {
            pending.remove(0, 1);
            continue;
        }
        if (pending.size() < length)
            break;
        if (quint8(pending.at(length - 1)) != FrameEnd) {
            pending.remove(0, 1);
            continue;
        }
        frames << pending.left(length);
        pending.remove(0, length);
    }
    return frames;
}

} // namespace

TSensorSim::TSensorSim(int fd, const TSensorOptions &options) : FFd(fd), FOptions(options), FModel(options)
{
}

int TSensorSim::Serve(int stopFd)
{
    QByteArray pending;
    qint64 lastData = 0;
    char chunk[512];
    while (!FFailed) {
        pollfd p[2] = {{FFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (p[1].revents)
            return 0;
        const ssize_t n = ::read(FFd, chunk, sizeof chunk);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            return n == 0 ? EIO : errno;
        const qint64 now = NowNs();
        if (now - lastData > InterByteNs)
            pending.clear();
        lastData = now;
        pending.append(chunk, n);
        const QList<QByteArray> frames = TakeFrames(pending);
        for (const QByteArray &frame : frames) {
            Answer(frame, now, stopFd);
            if (FFailed)
                break;
        }
        // Anything that came in while the sensor was busy answering is part of what follows.
        lastData = NowNs();
    }
    return FError;
}

void TSensorSim::Answer(const QByteArray &request, qint64 receivedNs, int stopFd)
{
    TSensorAnswer answer;
    {
        std::lock_guard lock(FLock);
        FRequests << request;
        if (FSink)
            FSink(request);
        if (FOptions.SilentAfter >= 0 && FReplies >= FOptions.SilentAfter)
            return;
        if (quint8(request.at(2)) == FOptions.IgnoredCommand)
            return;
        answer = FModel.Answer(request);
        ++FReplies;
    }
    // On a paced line the request is whole only once its last byte has crossed the wire.
    qint64 at = receivedNs + (FOptions.Pace ? request.size() * ByteNs : 0);
    const bool slow = quint8(request.at(2)) == FOptions.SlowCommand;
    at += qint64(answer.WorkMs + (slow ? FOptions.SlowCommandMs : FOptions.ProcessingDelayMs)) * 1000000LL;
    if (!SleepUntil(at, stopFd))
        return;

    QByteArray out;
    for (int i = 0; i < FOptions.GarbageBytes; ++i)
        out.append(Garbage[i % int(sizeof Garbage)]);
    out.append(answer.Reply);
    const int piece = FOptions.FragmentBytes > 0 ? FOptions.FragmentBytes : int(out.size());
    for (qsizetype pos = 0; pos < out.size(); pos += piece) {
        if (pos > 0 && !SleepUntil(NowNs() + qint64(FOptions.FragmentGapMs) * 1000000LL, stopFd))
            return;
        if (!Send(out.mid(pos, piece), stopFd))
            return;
    }
}

bool TSensorSim::Send(const QByteArray &bytes, int stopFd)
{
    // Paced, each byte leaves when the one before it has crossed the wire.
    const qint64 start = NowNs();
    const qsizetype step = FOptions.Pace ? 1 : bytes.size();
    for (qsizetype pos = 0; pos < bytes.size();) {
        if (FOptions.Pace && !SleepUntil(start + (pos + 1) * ByteNs, stopFd))
            return false;
        const ssize_t n = ::write(FFd, bytes.constData() + pos, size_t(std::min(step, bytes.size() - pos)));
        if (n > 0) {
            pos += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // The other end is not reading: wait for room, or for the stop.
            pollfd p[2] = {{FFd, POLLOUT, 0}, {stopFd, POLLIN, 0}};
            if (poll(p, 2, -1) < 0 && errno != EINTR)
                return false;
            if (p[1].revents)
                return false;
            continue;
        }
        FFailed = true;
        FError = n < 0 ? errno : EIO;
        return false;
    }
    return true;
}

QList<QByteArray> TSensorSim::Requests() const
{
    // A deep copy: the list and its frames must not stay shared with the serving thread, which
    // appends to them while the caller reads.
    std::lock_guard lock(FLock);
    QList<QByteArray> copy;
    copy.reserve(FRequests.size());
    for (const QByteArray &request : FRequests)
        copy << QByteArray(request.constData(), request.size());
    return copy;
}

TSensorParams TSensorSim::Params() const
{
    std::lock_guard lock(FLock);
    return FModel.Params();
}

TSensorParams TSensorSim::Saved() const
{
    std::lock_guard lock(FLock);
    return FModel.Saved();
}

quint16 TSensorSim::CalOn() const
{
    std::lock_guard lock(FLock);
    return FModel.CalOn();
}

quint16 TSensorSim::CalOff() const
{
    std::lock_guard lock(FLock);
    return FModel.CalOff();
}

bool TSensorSim::CommMode() const
{
    std::lock_guard lock(FLock);
    return FModel.CommMode();
}

int TSensorSim::Replies() const
{
    std::lock_guard lock(FLock);
    return FReplies;
}
