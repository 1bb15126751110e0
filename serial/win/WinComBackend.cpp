// The Win32 device layer: COM devices opened for overlapped I/O. The port object keeps the
// read and write time-outs itself, so the device is set to hand out at once what it holds
// (COMMTIMEOUTS' immediate form) and to send a write for as long as it takes.

#include "serial/ComBackend.h"
#include "serial/win/WinDcb.h"
#include "serial/win/WinDevice.h"
#include "serial/win/WinEventSource.h"
#include "serial/win/WinQueueSize.h"

#include <QFile>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace {

// A port may wait for input while the event thread holds the device's one WaitCommEvent,
// so a read with a time-out looks at the input queue this often.
constexpr DWORD ReadPollMs = 2;

HANDLE StopHandle(int StopFd) { return StopFd < 0 ? nullptr : HANDLE(intptr_t(StopFd)); }

class TWinWakeup final : public TComWakeup {
public:
    explicit TWinWakeup(HANDLE Event) : FEvent(Event) {}
    ~TWinWakeup() override { CloseHandle(FEvent); }
    // Event handles fit 32 bits by the system's own guarantee.
    int Fd() const override { return int(intptr_t(FEvent)); }
    void Set() override { SetEvent(FEvent); }
    void Reset() override { ResetEvent(FEvent); }

private:
    const HANDLE FEvent;
};

/// Waits for an overlapped operation started on Device; 0 or its error.
DWORD Finish(HANDLE Device, OVERLAPPED &Ov, DWORD &Done)
{
    if (GetOverlappedResult(Device, &Ov, &Done, TRUE))
        return 0;
    return GetLastError();
}

/// Ends a write the driver still holds, before its record goes.
void AbandonWrite(TWinDevice &D)
{
    if (!D.WritePending)
        return;
    CancelIoEx(D.Handle, &D.WriteOv);
    DWORD n = 0;
    GetOverlappedResult(D.Handle, &D.WriteOv, &n, TRUE);
    D.WritePending = false;
}

class TWinComBackend final : public TComBackend {
public:
    int Open(const QByteArray &Path, int &Handle) override
    {
        Handle = -1;
        const std::wstring name = QFile::decodeName(Path).toStdWString();
        HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return int(GetLastError());
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        // Immediate reads; writes without a time-out of the driver's own.
        COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 0};
        if (!GetCommState(h, &dcb) || !SetupComm(h, WinQueueSize, WinQueueSize)
            || !SetCommTimeouts(h, &t)) {
            const DWORD err = GetLastError();
            CloseHandle(h);
            return int(err ? err : ERROR_INVALID_FUNCTION); // not a serial device
        }
        std::lock_guard guard(FLock);
        Handle = FNext++;
        FDevices.emplace(Handle, std::make_shared<TWinDevice>(h));
        return 0;
    }

    int Close(int Handle) override
    {
        std::shared_ptr<TWinDevice> d;
        {
            std::lock_guard guard(FLock);
            auto it = FDevices.find(Handle);
            if (it == FDevices.end())
                return ERROR_INVALID_HANDLE;
            d = std::move(it->second);
            FDevices.erase(it);
        }
        {
            std::lock_guard guard(d->WriteLock);
            AbandonWrite(*d);
        }
        return CloseHandle(d->Handle) ? 0 : int(GetLastError());
    }

    int Apply(int Handle, const TLineSettings &S) override
    {
        auto d = Find(Handle);
        if (!d)
            return ERROR_INVALID_HANDLE;
        DCB current{};
        current.DCBlength = sizeof current;
        if (!GetCommState(d->Handle, &current))
            return int(GetLastError());
        DCB wanted = BuildDcb(S, current);
        if (!SetCommState(d->Handle, &wanted))
            return int(GetLastError());
        // A driver may take a DCB and quietly keep another rate or framing.
        DCB got{};
        got.DCBlength = sizeof got;
        if (!GetCommState(d->Handle, &got))
            return int(GetLastError());
        return SameLine(wanted, got) ? 0 : ERROR_INVALID_PARAMETER;
    }

    int Read(int Handle, void *Buffer, int Count, int &Done) override
    {
        Done = 0;
        auto d = Find(Handle);
        if (!d)
            return ERROR_INVALID_HANDLE;
        if (Count <= 0)
            return 0;
        std::lock_guard guard(d->ReadLock);
        // Only what the driver holds: the read then completes at once on every driver, also
        // on those that keep an immediate read pending until input arrives.
        COMSTAT st{};
        if (DWORD err = ClearDeviceErrors(*d, st))
            return int(err);
        if (st.cbInQue == 0)
            return 0;
        Count = int(std::min<DWORD>(DWORD(Count), st.cbInQue));
        DWORD n = 0;
        if (!ReadFile(d->Handle, Buffer, DWORD(Count), nullptr, &d->ReadOv)) {
            const DWORD err = GetLastError();
            if (err != ERROR_IO_PENDING)
                return int(err);
        }
        if (DWORD err = Finish(d->Handle, d->ReadOv, n))
            return int(err);
        Done = int(n);
        return 0;
    }

    int Write(int Handle, const void *Buffer, int Count, int &Done) override
    {
        Done = 0;
        auto d = Find(Handle);
        if (!d)
            return ERROR_INVALID_HANDLE;
        std::lock_guard guard(d->WriteLock);
        if (d->WritePending) {
            DWORD n = 0;
            if (!GetOverlappedResult(d->Handle, &d->WriteOv, &n, FALSE)) {
                const DWORD err = GetLastError();
                if (err == ERROR_IO_INCOMPLETE)
                    return 0; // the driver still sends the last one
                d->WritePending = false;
                if (err != ERROR_OPERATION_ABORTED) // purged: not a failure
                    return int(err);
            }
            d->WritePending = false;
        }
        if (Count <= 0)
            return 0;
        d->WriteData.assign(static_cast<const char *>(Buffer), static_cast<const char *>(Buffer) + Count);
        DWORD n = 0;
        if (WriteFile(d->Handle, d->WriteData.data(), DWORD(Count), &n, &d->WriteOv)) {
            Done = int(n);
            return 0;
        }
        const DWORD err = GetLastError();
        if (err != ERROR_IO_PENDING)
            return int(err);
        // The driver has the bytes: they are queued output, as a terminal's would be.
        d->WritePending = true;
        Done = Count;
        return 0;
    }

    int Wait(int Handle, bool ForRead, int TimeoutMs, int StopFd, bool &Ready,
             bool &Stopped) override
    {
        Ready = Stopped = false;
        auto d = Find(Handle);
        if (!d)
            return ERROR_INVALID_HANDLE;
        const HANDLE stop = StopHandle(StopFd);
        if (!ForRead) {
            bool pending;
            {
                std::lock_guard guard(d->WriteLock);
                pending = d->WritePending;
            }
            if (!pending) {
                Ready = true;
                return 0;
            }
            HANDLE both[2] = {d->WriteEvent.Handle, stop};
            const DWORD r = WaitForMultipleObjects(stop ? 2 : 1, both, FALSE,
                                                   TimeoutMs < 0 ? INFINITE : DWORD(TimeoutMs));
            if (r == WAIT_FAILED)
                return int(GetLastError());
            Ready = r == WAIT_OBJECT_0;
            Stopped = r == WAIT_OBJECT_0 + 1;
            return 0;
        }
        const ULONGLONG end = TimeoutMs < 0 ? 0 : GetTickCount64() + ULONGLONG(TimeoutMs);
        for (;;) {
            COMSTAT st{};
            if (ClearDeviceErrors(*d, st) != 0 || st.cbInQue > 0) {
                Ready = true; // a device that has gone counts as ready: the read reports it
                return 0;
            }
            DWORD step = ReadPollMs;
            if (TimeoutMs >= 0) {
                const ULONGLONG now = GetTickCount64();
                if (now >= end)
                    return 0;
                step = DWORD(std::min<ULONGLONG>(step, end - now));
            }
            if (stop) {
                if (WaitForSingleObject(stop, step) == WAIT_OBJECT_0) {
                    Stopped = true;
                    return 0;
                }
            } else {
                Sleep(step);
            }
        }
    }

    int InputCount(int Handle, int &Count) override { return QueueCount(Handle, true, Count); }
    int OutputCount(int Handle, int &Count) override { return QueueCount(Handle, false, Count); }

    int Purge(int Handle, bool Input, bool Output) override
    {
        auto d = Find(Handle);
        if (!d)
            return ERROR_INVALID_HANDLE;
        DWORD flags = 0;
        if (Input)
            flags |= PURGE_RXABORT | PURGE_RXCLEAR;
        if (Output)
            flags |= PURGE_TXABORT | PURGE_TXCLEAR;
        DWORD info = 0;
        const BOOL ok = flags ? PurgeComm(d->Handle, flags) : GetHandleInformation(d->Handle, &info);
        return ok ? 0 : int(GetLastError());
    }

    int ModemLines(int Handle, TComSignals &Lines) override
    {
        Lines = {};
        auto d = Find(Handle);
        if (!d)
            return ERROR_INVALID_HANDLE;
        DWORD bits = 0;
        if (!GetCommModemStatus(d->Handle, &bits))
            return int(GetLastError());
        if (bits & MS_CTS_ON)
            Lines.Include(csCTS);
        if (bits & MS_DSR_ON)
            Lines.Include(csDSR);
        if (bits & MS_RING_ON)
            Lines.Include(csRing);
        if (bits & MS_RLSD_ON)
            Lines.Include(csRLSD);
        return 0;
    }

    int SetLine(int Handle, TModemLine Line, bool OnOff) override
    {
        return Escape(Handle, Line == mlDTR ? (OnOff ? SETDTR : CLRDTR) : (OnOff ? SETRTS : CLRRTS));
    }
    int SetBreak(int Handle, bool OnOff) override { return Escape(Handle, OnOff ? SETBREAK : CLRBREAK); }
    int SetFlow(int Handle, bool Resume) override { return Escape(Handle, Resume ? SETXON : SETXOFF); }

    int TransmitChar(int Handle, quint8 Ch) override
    {
        auto d = Find(Handle);
        if (!d)
            return ERROR_INVALID_HANDLE;
        return TransmitCommChar(d->Handle, char(Ch)) ? 0 : int(GetLastError());
    }

    int ErrorCounts(int Handle, TLineErrorCounts &Counts) override
    {
        Counts = {};
        auto d = Find(Handle);
        if (!d)
            return ERROR_INVALID_HANDLE;
        COMSTAT st{};
        if (DWORD err = ClearDeviceErrors(*d, st))
            return int(err);
        std::lock_guard guard(d->ErrorLock);
        Counts = d->Errors;
        return 0;
    }

    std::unique_ptr<TComEventSource> CreateEventSource(int Handle, const TEventSetup &Setup,
                                                       int &Err) override
    {
        auto d = Find(Handle);
        if (!d) {
            Err = ERROR_INVALID_HANDLE;
            return nullptr;
        }
        return CreateWinEventSource(std::move(d), Setup, Err);
    }

    // A COM handle has no readiness the event loop can wait for: the port looks for input.
    int InputReadyFd(int) override { return -1; }

    std::unique_ptr<TComWakeup> CreateWakeup(int &Err) override
    {
        HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        Err = e ? 0 : int(GetLastError());
        return e ? std::make_unique<TWinWakeup>(e) : nullptr;
    }

    int Reason(TComReason Reason) const override
    {
        switch (Reason) {
        case rsBadArgument: return ERROR_INVALID_PARAMETER;
        case rsNotOpen: return ERROR_INVALID_HANDLE;
        case rsNoWatch: return ERROR_NOT_SUPPORTED;
        }
        return ERROR_GEN_FAILURE;
    }

    bool IsUnsupportedByDevice(int Err) const override
    {
        return Err == ERROR_INVALID_FUNCTION || Err == ERROR_NOT_SUPPORTED;
    }

private:
    std::shared_ptr<TWinDevice> Find(int Handle)
    {
        std::lock_guard guard(FLock);
        auto it = FDevices.find(Handle);
        return it == FDevices.end() ? nullptr : it->second;
    }

    int QueueCount(int Handle, bool Input, int &Count)
    {
        Count = 0;
        auto d = Find(Handle);
        if (!d)
            return ERROR_INVALID_HANDLE;
        COMSTAT st{};
        if (DWORD err = ClearDeviceErrors(*d, st))
            return int(err);
        Count = int(Input ? st.cbInQue : st.cbOutQue);
        return 0;
    }

    int Escape(int Handle, DWORD Function)
    {
        auto d = Find(Handle);
        if (!d)
            return ERROR_INVALID_HANDLE;
        return EscapeCommFunction(d->Handle, Function) ? 0 : int(GetLastError());
    }

    std::mutex FLock;
    std::map<int, std::shared_ptr<TWinDevice>> FDevices;
    int FNext = 1;
};

} // namespace

DWORD ClearDeviceErrors(TWinDevice &Device, COMSTAT &Stat)
{
    DWORD flags = 0;
    if (!ClearCommError(Device.Handle, &flags, &Stat))
        return GetLastError();
    if (flags) {
        std::lock_guard guard(Device.ErrorLock);
        TLineErrorCounts &e = Device.Errors;
        e.Frame += (flags & CE_FRAME) ? 1 : 0;
        e.Overrun += (flags & CE_OVERRUN) ? 1 : 0;
        e.Parity += (flags & CE_RXPARITY) ? 1 : 0;
        e.Break += (flags & CE_BREAK) ? 1 : 0;
        e.BufferOverrun += (flags & CE_RXOVER) ? 1 : 0;
    }
    return 0;
}

std::shared_ptr<TComBackend> CreateSystemComBackend()
{
    return std::make_shared<TWinComBackend>();
}
