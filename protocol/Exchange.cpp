#include "protocol/Exchange.h"

#include "protocol/DeviceHost.h"
#include "protocol/PortWaiter.h"
#include "protocol/Timer.h"
#include "serial/ComPort.h"

#include <algorithm>

bool TimedOut = false;

int Exchange(const QByteArray &request, TReplyBuffer &buffer, quint32 &count)
{
    TCustomComPort &port = frmMain->ComPort();
    TTimer &timer = frmMain->TimeoutTimer();

    // Whatever arrived before the request is no answer to it.
    while (port.Read(buffer.data(), 1) != 0) {
    }
    count = 0;
    const int written = port.Write(request.constData(), int(request.size()));
    timer.SetEnabled(true);
    TimedOut = false;
    if (written <= 0)
        return ExchangeNotSent;

    TPortWaiter waiter(port.Handle());
    for (;;) {
        const int room = int(std::min<quint32>(ResponseChunk, ReplyBufferSize - count));
        Q_ASSERT(room > 0); // the scanner keeps less than a whole frame between chunks
        const int n = port.Read(buffer.data() + count, room);
        if (n > 0) {
            RestartTimer(timer);
            count += quint32(n);
            if (ScanResponse(buffer.data(), count) == 1)
                return ExchangeOk;
        }
        waiter.Wait(n, room);
        if (TimedOut)
            return ExchangeTimedOut;
    }
}

void tmrTimeoutTimer(QObject *Sender)
{
    TimedOut = true;
    if (auto *timer = qobject_cast<TTimer *>(Sender))
        timer->SetEnabled(false);
}

void RestartTimer(TTimer &timer)
{
    timer.SetEnabled(false);
    timer.SetEnabled(true);
}
