// Port object: reads and writes. An operation moves what it can when it starts; waiting
// drives it on with poll() until its timeouts say it is over.

#include "serial/ComBackend.h"
#include "serial/ComCodePage.h"
#include "serial/ComPort.h"

#include <algorithm>
#include <memory>
#include <climits>
#include <cstring>

namespace {

constexpr quint32 MaxDword = 0xFFFFFFFFu;

/// How long an operation may take, from the five timeouts.
struct TDeadlines {
    bool Immediate = false;   ///< return with what is queued, even nothing
    bool FirstByte = false;   ///< return as soon as anything is there
    qint64 Total = -1;        ///< ms after the start, -1: none
    qint64 Interval = -1;     ///< ms between bytes, -1: none
};

TDeadlines ReadDeadlines(const TComTimeouts &T, int Count)
{
    const quint32 ri = quint32(T.ReadInterval());
    const quint32 rm = quint32(T.ReadTotalMultiplier());
    const quint32 rc = quint32(T.ReadTotalConstant());
    TDeadlines d;
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

qint64 WriteDeadline(const TComTimeouts &T, int Count)
{
    const quint32 wm = quint32(T.WriteTotalMultiplier());
    const quint32 wc = quint32(T.WriteTotalConstant());
    return wm != 0 || wc != 0 ? qint64(wm) * Count + wc : -1;
}

int PollMs(qint64 Ms) { return Ms < 0 ? -1 : int(std::min<qint64>(Ms, INT_MAX)); }

/// Releases a record on every way out of a blocking call.
struct TAsyncGuard {
    PAsync Async = nullptr;
    TAsyncGuard() { InitAsync(Async); }
    ~TAsyncGuard() { DoneAsync(Async); }
};

} // namespace

void InitAsync(PAsync &AsyncPtr)
{
    AsyncPtr = new TAsync;
}

void DoneAsync(PAsync &AsyncPtr)
{
    if (!AsyncPtr)
        return;
    if (AsyncPtr->Port)
        AsyncPtr->Port->ForgetAsync(*AsyncPtr);
    delete[] AsyncPtr->Data;
    delete AsyncPtr;
    AsyncPtr = nullptr;
}

void TCustomComPort::ForgetAsync(TAsync &Async)
{
    // The record may be pending on another port than the one now using it.
    if (TCustomComPort *owner = Async.Port) {
        auto &pending = owner->FPending;
        pending.erase(std::remove(pending.begin(), pending.end(), &Async), pending.end());
    }
    Async.Port = nullptr;
}

void TCustomComPort::FinishAsync(TAsync &Async)
{
    Async.Completed = true;
    if (Async.Port)
        ForgetAsync(Async);
}

// Starting ----------------------------------------------------------------------------------

int TCustomComPort::WriteAsync(const void *Buffer, int Count, PAsync &AsyncPtr)
{
    if (!AsyncPtr) {
        CallException(CE_InvalidAsync + 1);
        return 0;
    }
    if (FHandle < 0) {
        CallException(CEPortNotOpen + 1, -(CEPortNotOpen + 1));
        return 0;
    }
    TAsync &a = *AsyncPtr;
    if (a.Port)
        ForgetAsync(a);
    a.Kind = okWrite;
    delete[] a.Data;
    a.Data = nullptr;
    a.Size = 0;
    if (Count < 0 || (Count > 0 && !Buffer)) {
        a.Completed = true;
        CallException(CE_WriteFailed + 1, EINVAL);
        return 0;
    }
    if (Count > 0) {
        a.Data = new char[size_t(Count)];
        std::memcpy(a.Data, Buffer, size_t(Count));
    }
    a.Size = Count;
    a.Buffer = nullptr;
    a.Count = Count;
    a.Done = 0;
    a.Error = 0;
    a.Completed = false;
    a.LastByteMs = -1;
    a.Started.start();
    StepWrite(a, 0);
    if (a.Completed && a.Error != 0) {
        const int err = a.Error;
        a.Error = 0;
        CallException(CE_WriteFailed + 1, err);
        return 0;
    }
    SendSignalToLink(leTx, true);
    if (a.Completed)
        return a.Done;
    a.Port = this;
    FPending.push_back(&a);
    return 0;
}

int TCustomComPort::ReadAsync(void *Buffer, int Count, PAsync &AsyncPtr)
{
    if (!AsyncPtr) {
        CallException(CE_InvalidAsync + 1);
        return 0;
    }
    TAsync &a = *AsyncPtr;
    if (a.Port)
        ForgetAsync(a);
    a.Kind = okRead;
    if (FHandle < 0) {
        CallException(CEPortNotOpen + 1, -(CEPortNotOpen + 1));
        return 0;
    }
    if (Count < 0 || (Count > 0 && !Buffer)) {
        a.Completed = true;
        CallException(CE_ReadFailed + 1, EINVAL);
        return 0;
    }
    a.Buffer = static_cast<char *>(Buffer);
    a.Count = Count;
    a.Done = 0;
    a.Error = 0;
    a.Completed = false;
    a.LastByteMs = -1;
    a.Started.start();
    StepRead(a, 0);
    if (a.Completed && a.Error != 0) {
        const int err = a.Error;
        a.Error = 0;
        CallException(CE_ReadFailed + 1, err);
        return 0;
    }
    if (a.Completed)
        return a.Done;
    a.Port = this;
    FPending.push_back(&a);
    return 0;
}

// Driving -------------------------------------------------------------------------------------

void TCustomComPort::StepAsync(TAsync &Async, int WaitMs)
{
    if (Async.Kind == okRead)
        StepRead(Async, WaitMs);
    else
        StepWrite(Async, WaitMs);
}

// WaitMs 0 takes one non-blocking step; -1 drives the read to its end.
void TCustomComPort::StepRead(TAsync &a, int WaitMs)
{
    const TDeadlines d = ReadDeadlines(FTimeouts, a.Count);
    for (;;) {
        if (a.Done < a.Count) {
            int n = 0;
            if (int err = FBackend->Read(FHandle, a.Buffer + a.Done, a.Count - a.Done, n)) {
                // Bytes already taken from the driver are handed over; the device reports
                // its failure again to the next call.
                if (a.Done == 0)
                    a.Error = err;
                break;
            }
            if (n > 0) {
                a.Done += n;
                a.LastByteMs = a.Started.elapsed();
                NoteConsumed();
            }
        }
        if (a.Done >= a.Count || d.Immediate || (d.FirstByte && a.Done > 0))
            break;
        const qint64 now = a.Started.elapsed();
        qint64 left = -1;
        if (d.Total >= 0) {
            if (now >= d.Total)
                break;
            left = d.Total - now;
        }
        if (d.Interval >= 0 && a.Done > 0) {
            const qint64 gap = a.LastByteMs + d.Interval - now;
            if (gap <= 0)
                break;
            left = left < 0 ? gap : std::min(left, gap);
        }
        if (WaitMs == 0)
            return;
        bool ready = false, stopped = false;
        if (int err = FBackend->Wait(FHandle, true, PollMs(left), -1, ready, stopped)) {
            if (a.Done == 0)
                a.Error = err;
            break;
        }
    }
    FinishAsync(a);
}

void TCustomComPort::StepWrite(TAsync &a, int WaitMs)
{
    const qint64 total = WriteDeadline(FTimeouts, a.Count);
    for (;;) {
        if (a.Done < a.Count) {
            int n = 0;
            if (int err = FBackend->Write(FHandle, a.Data + a.Done, a.Count - a.Done, n)) {
                if (a.Done == 0)
                    a.Error = err;
                break;
            }
            a.Done += n;
            if (n > 0)
                NoteWritten();
        }
        if (a.Done >= a.Count)
            break;
        qint64 left = -1;
        if (total >= 0) {
            const qint64 now = a.Started.elapsed();
            if (now >= total)
                break;
            left = total - now;
        }
        if (WaitMs == 0)
            return;
        bool ready = false, stopped = false;
        if (int err = FBackend->Wait(FHandle, false, PollMs(left), -1, ready, stopped)) {
            if (a.Done == 0)
                a.Error = err;
            break;
        }
    }
    FinishAsync(a);
}

int TCustomComPort::WaitForAsync(PAsync &AsyncPtr)
{
    if (!AsyncPtr) {
        CallException(CE_InvalidAsync + 1);
        return 0;
    }
    TAsync &a = *AsyncPtr;
    if (!a.Completed) {
        if (a.Port)
            a.Port->StepAsync(a, -1);
        else
            FinishAsync(a); // its port is gone or closed: it ends with what it moved
    }
    if (a.Error != 0) {
        const int err = a.Error;
        a.Error = 0;
        CallException(a.Kind == okWrite ? CE_WriteFailed + 1 : CE_ReadFailed + 1, err);
        return 0;
    }
    // Links hear of finished operations; without links the queue is not even asked.
    if (!FLinks.empty()) {
        if (a.Kind == okRead) {
            if (FHandle >= 0 && InputCount() == 0)
                SendSignalToLink(leRx, false);
        } else if (a.Data) {
            // Only what went out: a write cut short by its timeout did not send the rest.
            TxNotifyLink(a.Data, std::min(a.Done, a.Size));
        }
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
    if (!a.Completed && a.Port)
        a.Port->StepAsync(a, 0);
    if (a.Completed && a.Error != 0) {
        CallException(CE_AsyncCheck + 1, a.Error);
        return false;
    }
    return a.Completed;
}

void TCustomComPort::AbortAllAsync()
{
    if (FHandle < 0) {
        CallException(CE_PurgeFailed + 1, EBADF);
        return;
    }
    for (TAsync *a : FPending) {
        a->Completed = true;
        a->Port = nullptr;
    }
    FPending.clear();
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
        CallException(CE_WriteFailed + 1, EINVAL);
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
        CallException(CE_ReadFailed + 1, EINVAL);
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
    if (FThreadCreated) {
        CallException(CE_ThreadCreated + 1);
        return;
    }
    const TComEvents wanted = Events;
    Events = {};
    if (FHandle < 0) {
        CallException(CE_WaitFailed + 1, EBADF);
        return;
    }
    TEventSetup setup;
    setup.Events = wanted;
    setup.RxFullCount = std::max(1, int(qint64(FBuffer.InputSize()) * 8 / 10));
    int err = 0;
    std::unique_ptr<TComEventSource> source = FBackend->CreateEventSource(FHandle, setup, err);
    if (!source) {
        CallException(CE_WaitFailed + 1, err ? err : EIO);
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
