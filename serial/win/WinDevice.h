#pragma once
// Internal: one open COM device with the overlapped records of its reads and writes, and
// the driver's line errors gathered from every ClearCommError the component makes.

#include "serial/ComTypes.h"

#include <windows.h>

#include <mutex>
#include <vector>

/// A manual-reset event for an OVERLAPPED record; closed with the record's owner.
struct TWinEvent {
    HANDLE Handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    TWinEvent() = default;
    TWinEvent(const TWinEvent &) = delete;
    TWinEvent &operator=(const TWinEvent &) = delete;
    ~TWinEvent()
    {
        if (Handle)
            CloseHandle(Handle);
    }
};

struct TWinDevice {
    explicit TWinDevice(HANDLE H) : Handle(H)
    {
        ReadOv.hEvent = ReadEvent.Handle;
        WriteOv.hEvent = WriteEvent.Handle;
    }
    TWinDevice(const TWinDevice &) = delete;
    TWinDevice &operator=(const TWinDevice &) = delete;

    const HANDLE Handle;

    // Reads come from the port's thread, its read queue and the event thread.
    std::mutex ReadLock;
    TWinEvent ReadEvent;
    OVERLAPPED ReadOv{};

    // A write the driver has taken but not yet sent keeps its bytes here until it completes.
    std::mutex WriteLock;
    TWinEvent WriteEvent;
    OVERLAPPED WriteOv{};
    std::vector<char> WriteData;
    bool WritePending = false;

    // ClearCommError hands each error flag out once: every caller folds it in here.
    std::mutex ErrorLock;
    TLineErrorCounts Errors;
};

/// ClearCommError on the device; its error flags are added to Device.Errors.
/// 0 or the system error of the failure.
DWORD ClearDeviceErrors(TWinDevice &Device, COMSTAT &Stat);
