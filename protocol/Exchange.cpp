#include "protocol/Exchange.h"

#include "protocol/ExchangeObserver.h"
#include "protocol/PortWaiter.h"
#include "protocol/SensorContext.h"
#include "protocol/Timer.h"
#include "serial/ComConvert.h"
#include "serial/ComPort.h"
#include "serial/ExceptionDisplay.h"

#include <QElapsedTimer>
#include <algorithm>
#include <limits>

qint64 LongestTransactionMs(const TCustomComPort &port, int interval)
{
    const qint64 rate = BaudRateValue(port.BaudRate(), port.CustomBaudRate());
    if (rate <= 0)
        return std::numeric_limits<qint64>::max();
    // Start bit, data bits, parity bit, stop bits (one and a half counted as two).
    const qint64 bitsPerByte = 1 + (5 + int(port.DataBits())) + (port.Parity().Bits() == prNone ? 0 : 1)
        + (port.StopBits() == sbOneStopBit ? 1 : 2);
    return (qint64(MaxResponseLength) * bitsPerByte * 1000 + rate - 1) / rate + interval;
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

int Transact(TSensorContext &context, const QByteArray &request, TReplyBuffer &buffer, quint32 &count,
             const TExchangeReport &report)
{
    TCustomComPort &port = context.ComPort();
    TTimer &timer = context.TimeoutTimer();

    // Whatever arrived before the request is no answer to it.
    while (port.Read(buffer.data(), 1) != 0) {
    }
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
    struct Pause {
        TPortWaiter &Waiter;
        ~Pause() { Waiter.Pause(); }
    } pause{waiter};
    bool more = false;   // the last read filled its chunk: there may be more behind it
    bool woken = false;  // the line reported input during the last pass
    for (;;) {
        int n = 0;
        if (more || woken) {
            const int room = int(std::min<quint32>(ResponseChunk, ReplyBufferSize - count));
            Q_ASSERT(room > 0); // the scanner keeps less than a whole frame between chunks
            n = port.Read(buffer.data() + count, room);
            if (n > 0) {
                RestartTimer(timer);
                count += quint32(n);
                if (ScanResponse(buffer.data(), count) == 1)
                    return ExchangeOk;
            } else if (!more) {
                waiter.Rest();
            }
            more = n == room;
        }
        woken = waiter.Wait(!more);
        if (context.TimedOut || running.hasExpired(longest))
            return ExchangeTimedOut;
    }
}

} // namespace

int Exchange(TSensorContext &context, const QByteArray &request, TReplyBuffer &buffer, quint32 &count)
{
    const TExchangeReport report(context, request);
    try {
        return report.Ended(Transact(context, request, buffer, count, report), buffer, count);
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
