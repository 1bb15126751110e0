// Port object: reads and writes. An operation moves what it can when it starts; its
// direction's queue carries it on in the background until its timeouts say it is over.

#include "serial/ComAsyncQueue_p.h"
#include "serial/ComBackend.h"
#include "serial/ComCodePage_p.h"
#include "serial/ComPort.h"

#include <algorithm>
#include <memory>
#include <climits>
#include <cstring>

namespace {

constexpr quint32 MaxDword = 0xFFFFFFFFu;

TAsyncLimits ReadLimits(const TComTimeouts &T, int Count)
{
    const quint32 ri = quint32(T.ReadInterval());
    const quint32 rm = quint32(T.ReadTotalMultiplier());
    const quint32 rc = quint32(T.ReadTotalConstant());
    TAsyncLimits d;
    if (ri == MaxDword && rm == 0 && rc == 0) {
        d.Immediate = true;
    } else if (ri == MaxDword && rm == MaxDword && rc > 0 && rc < MaxDword) {
        d.FirstByte = true;
        d.Total = rc;
    } else {
        if (rm != 0 || rc != 0)
            d.Total = qint64(rm) * Count + rc;
        if (ri != 0 && ri != MaxDword)
            d.Interval = ri;
    }
    return d;
}

TAsyncLimits WriteLimits(const TComTimeouts &T, int Count)
{
    const quint32 wm = quint32(T.WriteTotalMultiplier());
    const quint32 wc = quint32(T.WriteTotalConstant());
    TAsyncLimits d;
    if (wm != 0 || wc != 0)
        d.Total = qint64(wm) * Count + wc;
    return d;
}

int PollMs(qint64 Ms) { return Ms < 0 ? -1 : int(std::min<qint64>(Ms, INT_MAX)); }

/// Ends a record's operation and frees its copy of the bytes.
void EndRecord(TAsync &A)
{
    TComAsyncQueue::Forget(A);
    delete[] A.Data;
    A.Data = nullptr;
}

/// The record of a blocking call, on its stack, released on every way out.
struct TAsyncGuard {
    TAsync Record;
    PAsync Async = &Record;
    ~TAsyncGuard() { EndRecord(Record); }
};

/// Sets a record up for a new operation of Count bytes.
void Prepare(TAsync &a, int Count, const TAsyncLimits &Limits)
{
    a.Count = Count;
    a.Done = 0;
    a.Error = 0;
    a.Limits = Limits;
    a.LastByteMs = -1;
    if (!Limits.Immediate) // an operation that takes what is queued and ends needs no clock
        a.Started.start();
}

} // namespace

void InitAsync(PAsync &AsyncPtr)
{
    AsyncPtr = new TAsync;
}

void DoneAsync(PAsync &AsyncPtr)
{
    if (!AsyncPtr)
        return;
    EndRecord(*AsyncPtr);
    delete AsyncPtr;
    AsyncPtr = nullptr;
}

// Starting ----------------------------------------------------------------------------------

int TCustomComPort::WriteAsync(const void *Buffer, int Count, PAsync &AsyncPtr)
{
    if (!AsyncPtr) {
        CallException(CE_InvalidAsync + 1);
        return 0;
    }
    if (FHandle < 0 || !FWriteQueue) {
        CallException(CEPortNotOpen + 1, -(CEPortNotOpen + 1));
        return 0;
    }
    TAsync &a = *AsyncPtr;
    // A record serves one operation at a time: one still pending ends here.
    TComAsyncQueue::Forget(a);
    a.Kind = okWrite;
    delete[] a.Data;
    a.Data = nullptr;
    a.Size = 0;
    if (Count < 0 || (Count > 0 && !Buffer)) {
        a.Completed = true;
        CallException(CE_WriteFailed + 1, FBackend->Reason(rsBadArgument));
        return 0;
    }
    if (Count > 0) {
        a.Data = new char[size_t(Count)];
        std::memcpy(a.Data, Buffer, size_t(Count));
    }
    a.Size = Count;
    a.Buffer = nullptr;
    Prepare(a, Count, WriteLimits(FTimeouts, Count));
    const bool ended = FWriteQueue->Start(a);
    if (ended && a.Error != 0) {
        const int err = a.Error;
        a.Error = 0;
        CallException(CE_WriteFailed + 1, err);
        return 0;
    }
    SendSignalToLink(leTx, true);
    return ended ? a.Done : 0;
}

int TCustomComPort::ReadAsync(void *Buffer, int Count, PAsync &AsyncPtr)
{
    if (!AsyncPtr) {
        CallException(CE_InvalidAsync + 1);
        return 0;
    }
    TAsync &a = *AsyncPtr;
    TComAsyncQueue::Forget(a);
    a.Kind = okRead;
    if (FHandle < 0 || !FReadQueue) {
        CallException(CEPortNotOpen + 1, -(CEPortNotOpen + 1));
        return 0;
    }
    if (Count < 0 || (Count > 0 && !Buffer)) {
        a.Completed = true;
        CallException(CE_ReadFailed + 1, FBackend->Reason(rsBadArgument));
        return 0;
    }
    a.Buffer = static_cast<char *>(Buffer);
    Prepare(a, Count, ReadLimits(FTimeouts, Count));
    const bool ended = FReadQueue->Start(a);
    if (ended && a.Error != 0) {
        const int err = a.Error;
        a.Error = 0;
        CallException(CE_ReadFailed + 1, err);
        return 0;
    }
    return ended ? a.Done : 0;
}

// Finishing -----------------------------------------------------------------------------------

int TCustomComPort::WaitForAsync(PAsync &AsyncPtr)
{
    if (!AsyncPtr) {
        CallException(CE_InvalidAsync + 1);
        return 0;
    }
    TAsync &a = *AsyncPtr;
    TComAsyncQueue::WaitFinished(a);
    if (a.Error != 0) {
        const int err = a.Error;
        a.Error = 0;
        CallException(a.Kind == okWrite ? CE_WriteFailed + 1 : CE_ReadFailed + 1, err);
        return 0;
    }
    if (a.Kind == okRead && FHandle >= 0) {
        // Only links hear that the input ran dry. Asking for the queue takes the driver's
        // pending line errors, which matters only to someone who hears them: without such a
        // listener they stay for LastErrors, and the read asks the driver nothing more.
        if (FLinked.load(std::memory_order_acquire)) {
            if (InputCount() == 0)
                SendSignalToLink(leRx, false);
        } else if (ErrorsHeard()) {
            CollectErrors(false);
        }
    } else if (a.Kind == okWrite && a.Data) {
        // Only what went out: a write cut short by its timeout did not send the rest.
        TxNotifyLink(a.Data, std::min(a.Done, a.Size));
    }
    return a.Done;
}

bool TCustomComPort::IsAsyncCompleted(PAsync AsyncPtr)
{
    if (!AsyncPtr) {
        CallException(CE_InvalidAsync + 1);
        return false;
    }
    TAsync &a = *AsyncPtr;
    if (!TComAsyncQueue::Finished(a))
        return false;
    if (a.Error != 0) {
        CallException(CE_AsyncCheck + 1, a.Error);
        return false;
    }
    return true;
}

void TCustomComPort::AbortAllAsync()
{
    if (FHandle < 0) {
        CallException(CE_PurgeFailed + 1, FBackend->Reason(rsNotOpen));
        return;
    }
    if (FReadQueue)
        FReadQueue->CancelAll();
    if (FWriteQueue)
        FWriteQueue->CancelAll();
}

// Blocking forms ------------------------------------------------------------------------------

int TCustomComPort::Write(const void *Buffer, int Count)
{
    TAsyncGuard g;
    WriteAsync(Buffer, Count, g.Async);
    return WaitForAsync(g.Async);
}

int TCustomComPort::Read(void *Buffer, int Count)
{
    TAsyncGuard g;
    ReadAsync(Buffer, Count, g.Async);
    return WaitForAsync(g.Async);
}

int TCustomComPort::WriteStrAsync(QString &Str, PAsync &AsyncPtr)
{
    const int length = int(Str.size());
    if (length == 0)
        return 0;
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = char(Str.at(i).unicode() & 0xFF);
    return WriteAsync(bytes.constData(), length, AsyncPtr);
}

int TCustomComPort::WriteStr(QString Str)
{
    TAsyncGuard g;
    WriteStrAsync(Str, g.Async);
    return WaitForAsync(g.Async);
}

int TCustomComPort::WriteUnicodeString(const QString &Str)
{
    QByteArray bytes;
    if (!EncodeInCodePage(FCodePage, Str, bytes)) {
        CallException(CE_WriteFailed + 1, FBackend->Reason(rsBadArgument));
        return 0;
    }
    return Write(bytes.constData(), int(bytes.size()));
}

int TCustomComPort::ReadStrAsync(QByteArray &Str, int Count, PAsync &AsyncPtr)
{
    Str.resize(std::max(Count, 0));
    if (Count <= 0)
        return 0;
    return ReadAsync(Str.data(), Count, AsyncPtr);
}

int TCustomComPort::ReadStr(QString &Str, int Count)
{
    QByteArray bytes;
    TAsyncGuard g;
    ReadStrAsync(bytes, Count, g.Async);
    const int n = WaitForAsync(g.Async);
    Str = QString::fromLatin1(bytes.constData(), std::clamp(n, 0, int(bytes.size())));
    return n;
}

int TCustomComPort::ReadUnicodeString(QString &Str, int Count)
{
    // Refuse an unknown code page before any byte leaves the driver.
    if (!IsKnownCodePage(FCodePage)) {
        CallException(CE_ReadFailed + 1, FBackend->Reason(rsBadArgument));
        return 0;
    }
    QByteArray bytes(std::max(Count, 0), Qt::Uninitialized);
    const int n = Read(bytes.data(), Count);
    bytes.truncate(std::clamp(n, 0, int(bytes.size())));
    DecodeFromCodePage(FCodePage, bytes, Str);
    return int(Str.size());
}

// One-shot event wait -------------------------------------------------------------------------

void TCustomComPort::WaitForEvent(TComEvents &Events, int StopEvent, int Timeout)
{
    SettleEventThreadClose();
    if (FThreadCreated) {
        CallException(CE_ThreadCreated + 1);
        return;
    }
    const TComEvents wanted = Events;
    Events = {};
    if (FHandle < 0) {
        CallException(CE_WaitFailed + 1, FBackend->Reason(rsNotOpen));
        return;
    }
    int err = 0;
    std::unique_ptr<TComEventSource> source =
        FBackend->CreateEventSource(FHandle, EventSetup(wanted), err);
    if (!source) {
        CallException(CE_WaitFailed + 1, err ? err : FBackend->Reason(rsNoWatch));
        return;
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qint64 left = Timeout < 0 ? -1 : std::max<qint64>(0, Timeout - clock.elapsed());
        bool stopped = false;
        TComEvents got;
        if (int err = source->Wait(got, PollMs(left), StopEvent, stopped)) {
            CallException(CE_WaitFailed + 1, err);
            return;
        }
        if (!got.Empty() || stopped || left == 0) {
            Events = got;
            return;
        }
    }
}
