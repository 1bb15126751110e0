#include "protocol/Exchange.h"

#include "protocol/ExchangeObserver.h"
#include "protocol/LineSettle.h"
#include "protocol/PortWaiter.h"
#include "protocol/ReplyCheck.h"
#include "protocol/SensorContext.h"
#include "protocol/Timer.h"
#include "serial/ComConvert.h"
#include "serial/ComPort.h"
#include "serial/ExceptionDisplay.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <limits>

namespace {

/// Nanoseconds one byte takes on the port's line (start bit, data bits, parity bit, stop bits,
/// one and a half counted as two), rounded up; 0 when the rate is unknown.
qint64 LineByteNs(const TCustomComPort &port)
{
    const qint64 rate = BaudRateValue(port.BaudRate(), port.CustomBaudRate());
    if (rate <= 0)
        return 0;
    const qint64 bitsPerByte = 1 + (5 + int(port.DataBits())) + (port.Parity().Bits() == prNone ? 0 : 1)
        + (port.StopBits() == sbOneStopBit ? 1 : 2);
    return (bitsPerByte * 1000000000 + rate - 1) / rate;
}

} // namespace

qint64 LongestTransactionMs(const TCustomComPort &port, int interval)
{
    const qint64 byteNs = LineByteNs(port);
    if (byteNs <= 0)
        return std::numeric_limits<qint64>::max();
    return (qint64(MaxResponseLength) * byteNs + 999999) / 1000000 + interval;
}

namespace {

/// Tells the installed observer, if any, what a transaction sent and how it ended.
class TExchangeReport {
public:
    TExchangeReport(const TSensorContext &context, const QByteArray &request)
        : FObserver(CurrentExchangeObserver()), FContext(context), FRequest(request)
    {
    }
    void Sent(int written, int timeoutMs) const
    {
        if (FObserver)
            FObserver->RequestSent(FContext, FRequest, written, timeoutMs);
    }
    int Ended(int result, const TReplyBuffer &buffer, quint32 count) const
    {
        if (FObserver) {
            const quint32 length = result == ExchangeOk ? ReadU16(buffer.data() + 1) : count;
            FObserver->ExchangeEnded(FContext, FRequest, QByteArray(reinterpret_cast<const char *>(buffer.data()), length),
                                     result);
        }
        return result;
    }
    void Discarded(const QByteArray &bytes, TDiscardReason reason) const
    {
        if (FObserver && !bytes.isEmpty())
            FObserver->BytesDiscarded(FContext, FRequest, bytes, reason);
    }
    /// Call from a catch block.
    void Failed() const
    {
        if (FObserver)
            FObserver->ExchangeFailed(FContext, FRequest, CurrentExceptionMessage());
    }

private:
    TExchangeObserver *const FObserver;
    const TSensorContext &FContext;
    const QByteArray &FRequest;
};

/// Reads whatever has arrived, until the line has nothing more.
QByteArray DrainInput(TCustomComPort &port)
{
    QByteArray bytes;
    char chunk[ResponseChunk];
    while (const int n = port.Read(chunk, ResponseChunk))
        bytes.append(chunk, n);
    return bytes;
}

/// Stops watching the port when a wait ends, also by an exception.
struct TPauseOnExit {
    TPortWaiter &Waiter;
    ~TPauseOnExit() { Waiter.Pause(); }
};

/// Lets the line settle: reads and discards what it brings until it has been quiet for
/// LateReplyMs. A line that never goes quiet is given up on once the largest reply could have
/// arrived.
void Settle(TSensorContext &context, TLineSettle &line, const TExchangeReport &report)
{
    // The request that follows gets its full period, not what an old countdown left of it.
    TCustomComPort &port = context.ComPort();
    context.TimeoutTimer().SetEnabled(false);
    const std::shared_ptr<TPortWaiter> held = TPortWaiter::ForPort(port);
    TPortWaiter &waiter = *held;
    waiter.Resume();
    const TPauseOnExit pause{waiter};
    QTimer due; // wakes the wait when the quiet is complete
    due.setSingleShot(true);
    due.setTimerType(Qt::PreciseTimer);
    QObject::connect(&due, &QTimer::timeout, [] {});
    const qint64 longest = LongestTransactionMs(port, LateReplyMs);
    QElapsedTimer running;
    running.start();
    QByteArray discarded;
    bool woken = false;
    for (;;) {
        const QByteArray bytes = DrainInput(port);
        if (!bytes.isEmpty()) {
            line.Heard();
            discarded += bytes;
        } else if (woken) {
            waiter.Rest();
        }
        const qint64 left = line.QuietLeft();
        if (left <= 0 || running.hasExpired(longest))
            break;
        due.start(int(left));
        woken = waiter.Wait(true);
    }
    line.MarkSettled();
    report.Discarded(discarded, drLate);
}

/// Takes the whole frames at the front of the buffer that cannot answer `request` out of it.
/// Returns 1 when one that can stands at offset 0, else 0 (as ScanResponse).
int ScanForAnswer(const QByteArray &request, TReplyBuffer &buffer, quint32 &count, const TExchangeReport &report)
{
    while (ScanResponse(buffer.data(), count) == 1) {
        if (CanAnswer(request, buffer.data()))
            return 1;
        const quint32 length = ReadU16(buffer.data() + 1);
        report.Discarded(QByteArray(reinterpret_cast<const char *>(buffer.data()), length), drNotItsAnswer);
        std::memmove(buffer.data(), buffer.data() + length, count - length);
        count -= length;
    }
    return 0;
}

/// The rest of a reply comes a byte time apart on a line with a known rate. Rather than waking
/// for each byte, the wait can sleep until all but the last byte of the next chunk are due; the
/// frame's last byte is left to the input signal, so a reply is taken as soon as it is whole.
/// Returns how long to sleep, in ms, or 0 where sleeping saves no wake. Never so long that the
/// silence time-out (`interval`) could pass for want of a read.
int NextChunkDueMs(const TCustomComPort &port, const TReplyBuffer &buffer, quint32 count, int interval)
{
    const qint64 byteNs = LineByteNs(port);
    if (byteNs <= 0)
        return 0;
    constexpr quint32 Header = 3; // kind and length
    quint32 missing = MinResponseLength - std::min(count, MinResponseLength - 1);
    if (count >= Header) {
        const quint32 length = ReadU16(buffer.data() + 1);
        missing = length > count ? length - count : 1;
    }
    const qint64 ahead = std::min<quint32>(missing - 1, ResponseChunk);
    if (ahead < 2) // one byte ahead: its own wake is the one a rest would end with
        return 0;
    return int(std::min<qint64>((ahead * byteNs + 500000) / 1000000, interval / 2));
}

int Transact(TSensorContext &context, const QByteArray &request, TReplyBuffer &buffer, quint32 &count,
             const TExchangeReport &report)
{
    TCustomComPort &port = context.ComPort();
    TTimer &timer = context.TimeoutTimer();

    // Whatever arrived before the request is no answer to it.
    report.Discarded(DrainInput(port), drStale);
    count = 0;
    const int written = port.Write(request.constData(), int(request.size()));
    timer.SetEnabled(true);
    context.TimedOut = false;
    report.Sent(written, timer.Interval());
    if (written <= 0)
        return ExchangeNotSent;
    // The time-out bounds the silence; this bounds a line that floods without forming a frame.
    const qint64 longest = LongestTransactionMs(port, timer.Interval());
    QElapsedTimer running;
    running.start();

    // Reads follow the line: the notifier reports input as soon as it is there, so the
    // wait never reads an empty line in vain.
    const std::shared_ptr<TPortWaiter> held = TPortWaiter::ForPort(port);
    TPortWaiter &waiter = *held;
    waiter.Resume();
    const TPauseOnExit pause{waiter};
    bool more = false;    // the last read filled its chunk: there may be more behind it
    bool woken = false;   // the line reported input, or a chunk came due, during the last pass
    bool resting = false; // sleeping until the next chunk is due, not until the line signals
    for (;;) {
        int n = 0;
        if (more || woken) {
            const int room = int(std::min<quint32>(ResponseChunk, ReplyBufferSize - count));
            Q_ASSERT(room > 0); // the scanner keeps less than a whole frame between chunks
            n = port.Read(buffer.data() + count, room);
            if (n > 0) {
                RestartTimer(timer);
                count += quint32(n);
                if (ScanForAnswer(request, buffer, count, report) == 1)
                    return ExchangeOk;
            } else if (!more && !resting) {
                waiter.Rest();
            }
            more = n == room;
            resting = false;
            if (n > 0 && !more)
                if (const int ms = NextChunkDueMs(port, buffer, count, timer.Interval())) {
                    waiter.RestFor(ms);
                    resting = true;
                }
        }
        woken = waiter.Wait(!more);
        if (context.TimedOut || running.hasExpired(longest))
            return ExchangeTimedOut;
    }
}

/// One transaction on a line that owes no reply to an earlier request when this one needs it
/// so; afterwards the line is left owing one when the reply taken is not certainly its own.
int PairedTransact(TSensorContext &context, const QByteArray &request, TReplyBuffer &buffer, quint32 &count,
                   const TExchangeReport &report)
{
    TLineSettle &line = TLineSettle::Of(context.ComPort());
    if (!line.Settled() && NeedsSettledLine(request))
        Settle(context, line, report);
    // Replies to COMM_MODE and PING look alike and go out without a settle: what such a one
    // takes may be the owed reply, and then its own is owed instead.
    const bool owedBefore = !line.Settled();
    const int result = Transact(context, request, buffer, count, report);
    if (result == ExchangeTimedOut || (result == ExchangeOk && owedBefore))
        line.Unsettle();
    return result;
}

} // namespace

int Exchange(TSensorContext &context, const QByteArray &request, TReplyBuffer &buffer, quint32 &count)
{
    const TExchangeReport report(context, request);
    try {
        return report.Ended(PairedTransact(context, request, buffer, count, report), buffer, count);
    } catch (...) {
        report.Failed();
        throw;
    }
}

void RestartTimer(TTimer &timer)
{
    timer.SetEnabled(false);
    timer.SetEnabled(true);
}
