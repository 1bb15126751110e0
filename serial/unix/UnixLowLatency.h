#pragma once
// Internal: low-latency mode for adapters that hold received bytes back for a latency timer
// (FTDI-style adapters wait up to 16 ms by default), so a short reply arrives at once.

#include "serial/ComBackend.h"

#include <memory>
#include <mutex>
#include <set>

/// The low-latency flag of an open device's driver (the serial flags of TIOCGSERIAL and
/// TIOCSSERIAL). Each call returns 0 or the errno; tests bring a double.
class TSerialFlagsAccess {
public:
    virtual ~TSerialFlagsAccess() = default;
    virtual int GetLowLatency(int Fd, bool &On) = 0;
    virtual int SetLowLatency(int Fd, bool On) = 0;
};

std::shared_ptr<TSerialFlagsAccess> SystemSerialFlags();

/// Switches low latency on for each device a backend opens and back off when it closes, if
/// it was off before. A driver that refuses (pseudo-terminals, many adapters) is passed over.
class TLowLatency {
public:
    explicit TLowLatency(std::shared_ptr<TSerialFlagsAccess> Access) : FAccess(std::move(Access)) {}
    /// After Fd has been opened.
    void Enter(int Fd);
    /// Before Fd is closed.
    void Leave(int Fd);

private:
    std::shared_ptr<TSerialFlagsAccess> FAccess;
    std::mutex FLock;
    std::set<int> FSwitched; // descriptors whose flag Enter turned on
};

/// The terminal device layer with the given access to the drivers' serial flags.
std::shared_ptr<TComBackend> CreateUnixComBackend(std::shared_ptr<TSerialFlagsAccess> Flags);
