// The driver watches the line itself: one overlapped WaitCommEvent is kept pending on the
// device and reports each batch of events. A wait that ends on a time-out or a stop of the
// caller leaves it pending for the next one; Stop and destruction cancel it.

#include "serial/win/WinEventSource.h"

#include <atomic>
#include <memory>

namespace {

struct TEventBit {
    TComEvent Event;
    DWORD Mask;
};
constexpr TEventBit EventBits[] = {
    {evRxChar, EV_RXCHAR}, {evTxEmpty, EV_TXEMPTY}, {evRxFlag, EV_RXFLAG}, {evRing, EV_RING},
    {evBreak, EV_BREAK},   {evCTS, EV_CTS},         {evDSR, EV_DSR},       {evError, EV_ERR},
    {evRLSD, EV_RLSD},     {evRx80Full, EV_RX80FULL},
};

class TWinEventSource final : public TComEventSource {
public:
    TWinEventSource(std::shared_ptr<TWinDevice> Device, const TEventSetup &Setup)
        : FDevice(std::move(Device))
    {
        for (const TEventBit &b : EventBits)
            if (Setup.Events.Contains(b.Event))
                FMask |= b.Mask;
        FRecord->Ov.hEvent = FRecord->Done.Handle;
    }

    int Start()
    {
        if (!FRecord->Done.Handle || !FStop.Handle)
            return int(GetLastError());
        return SetCommMask(FDevice->Handle, FMask) ? 0 : int(GetLastError());
    }

    ~TWinEventSource() override
    {
        Cancel();
        SetCommMask(FDevice->Handle, 0);
    }

    static constexpr DWORD CancelWaitMs = 1000;

    int Wait(TComEvents &Events, int TimeoutMs, int StopFd, bool &Stopped) override
    {
        Events = {};
        Stopped = false;
        if (FStopped.load() || !FRecord)
            return ERROR_OPERATION_ABORTED;
        if (!FPending) {
            FGot = 0;
            if (!WaitCommEvent(FDevice->Handle, &FGot, &FRecord->Ov)) {
                const DWORD err = GetLastError();
                if (err != ERROR_IO_PENDING)
                    return int(err);
                FPending = true;
            } else {
                Collect(Events);
                return 0;
            }
        }
        HANDLE wait[3] = {FStop.Handle, FRecord->Done.Handle, StopFd < 0 ? nullptr : HANDLE(intptr_t(StopFd))};
        const DWORD r = WaitForMultipleObjects(StopFd < 0 ? 2 : 3, wait, FALSE,
                                               TimeoutMs < 0 ? INFINITE : DWORD(TimeoutMs));
        if (r == WAIT_FAILED)
            return int(GetLastError());
        if (r == WAIT_OBJECT_0) {
            Cancel();
            return ERROR_OPERATION_ABORTED; // a stop wins over pending events
        }
        if (r == WAIT_OBJECT_0 + 2) {
            Stopped = true;
            return 0;
        }
        if (r != WAIT_OBJECT_0 + 1)
            return 0; // timed out, the wait stays pending
        FPending = false;
        DWORD n = 0;
        if (!GetOverlappedResult(FDevice->Handle, &FRecord->Ov, &n, FALSE))
            return int(GetLastError()); // the device has gone, or the driver gave up watching
        Collect(Events);
        return 0;
    }

    void Stop() override
    {
        FStopped.store(true);
        SetEvent(FStop.Handle);
    }
    // The driver tells both by itself.
    void Written() override {}
    void Consumed() override {}

private:
    void Collect(TComEvents &Events)
    {
        if (FGot & EV_ERR) {
            COMSTAT st{};
            ClearDeviceErrors(*FDevice, st); // the flags belong to the port's error counts
        }
        for (const TEventBit &b : EventBits)
            if (FGot & b.Mask)
                Events.Include(b.Event);
    }

    // A new mask ends a pending wait on every driver; some honour only that, others only
    // the cancel. One that honours neither keeps the record: it is let go rather than freed
    // under the driver's hands.
    void Cancel()
    {
        if (!FPending)
            return;
        FPending = false;
        SetCommMask(FDevice->Handle, 0);
        if (WaitForSingleObject(FRecord->Done.Handle, CancelWaitMs) != WAIT_OBJECT_0) {
            CancelIoEx(FDevice->Handle, &FRecord->Ov);
            if (WaitForSingleObject(FRecord->Done.Handle, CancelWaitMs) != WAIT_OBJECT_0) {
                FRecord.release();
                return;
            }
        }
        DWORD n = 0;
        GetOverlappedResult(FDevice->Handle, &FRecord->Ov, &n, TRUE);
    }

    const std::shared_ptr<TWinDevice> FDevice;
    DWORD FMask = 0;
    DWORD FGot = 0;
    struct TRecord {
        TWinEvent Done;
        OVERLAPPED Ov{};
    };
    std::unique_ptr<TRecord> FRecord = std::make_unique<TRecord>();
    TWinEvent FStop;
    bool FPending = false;
    std::atomic<bool> FStopped{false};
};

} // namespace

std::unique_ptr<TComEventSource> CreateWinEventSource(std::shared_ptr<TWinDevice> Device,
                                                      const TEventSetup &Setup, int &Err)
{
    auto source = std::make_unique<TWinEventSource>(std::move(Device), Setup);
    Err = source->Start();
    if (Err != 0)
        source.reset();
    return source;
}
