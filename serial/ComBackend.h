#pragma once
// Internal: the device layer under the port object. Every operating-system call of the
// component goes through this interface, so a test can put a double in its place.
// Each call returns 0 on success or the errno of the failure.

#include "serial/ComTypes.h"

#include <QByteArray>
#include <cerrno>
#include <memory>

/// The line settings as the device sees them.
struct TLineSettings {
    int BaudRate = 9600;
    int DataBits = 8;            ///< 5..8
    TParityBits Parity = prNone;
    bool ParityCheck = false;    ///< check received parity
    bool TwoStopBits = false;    ///< 1.5 and 2 stop bits alike
    bool RtsCtsFlow = false;
    bool XonXoffOut = false;
    bool XonXoffIn = false;
    quint8 XonChar = 17;
    quint8 XoffChar = 19;
    int Dtr = 0;                 ///< 1 raise, 0 drop, -1 leave as it is
    int Rts = 0;
    bool operator==(const TLineSettings &) const = default;
};

enum TModemLine : quint8 { mlDTR, mlRTS };

/// What an event source watches on one open device.
struct TEventSetup {
    TComEvents Events;
    int RxFullCount = 0;  ///< input count that raises evRx80Full (0: never)
    int BaudRate = 9600;  ///< to judge how long queued output takes to leave
};

/// Line events of one open device, for the event thread or a one-shot wait.
/// Received data is reported once per arrival, not for as long as it sits unread.
class TComEventSource {
public:
    virtual ~TComEventSource() = default;
    /// Blocks until line events happen, TimeoutMs passes (-1: no limit), StopFd (-1: none)
    /// becomes readable or Stop is called. Events gets what happened (it may be empty after
    /// a wake-up that turned out to be none). Returns 0, ECANCELED after Stop, or the errno
    /// of a failure; EIO when the device has gone away.
    virtual int Wait(TComEvents &Events, int TimeoutMs, int StopFd, bool &Stopped) = 0;
    /// Ends a Wait in progress and every later one. Any thread.
    virtual void Stop() = 0;
    /// The port has queued output: evTxEmpty follows when it has left. Any thread.
    virtual void Written() = 0;
    /// The port has taken input from the driver. Any thread.
    virtual void Consumed() = 0;
};

class TComBackend {
public:
    virtual ~TComBackend() = default;

    /// Opens Path exclusively, non-blocking; refuses a non-terminal with ENOTTY.
    virtual int Open(const QByteArray &Path, int &Handle) = 0;
    virtual int Close(int Handle) = 0;
    /// Raw mode with the given settings. EINVAL for a rate the device cannot take.
    virtual int Apply(int Handle, const TLineSettings &Settings) = 0;

    /// Non-blocking. Done is the bytes moved; nothing queued is success with Done 0;
    /// a device that has gone away gives EIO.
    virtual int Read(int Handle, void *Buffer, int Count, int &Done) = 0;
    virtual int Write(int Handle, const void *Buffer, int Count, int &Done) = 0;
    /// Waits up to TimeoutMs (-1: no limit) until the device is readable (ForRead) or
    /// writable, or until StopFd (-1: none) is readable. A device that has gone away counts
    /// as ready, so the next Read or Write reports it.
    virtual int Wait(int Handle, bool ForRead, int TimeoutMs, int StopFd, bool &Ready,
                     bool &Stopped) = 0;

    virtual int InputCount(int Handle, int &Count) = 0;
    virtual int OutputCount(int Handle, int &Count) = 0;
    /// Discards queued input and/or output; neither only checks the handle.
    virtual int Purge(int Handle, bool Input, bool Output) = 0;

    /// ENOTTY or EINVAL: the device has no modem lines.
    virtual int ModemLines(int Handle, TComSignals &Lines) = 0;
    virtual int SetLine(int Handle, TModemLine Line, bool OnOff) = 0;
    virtual int SetBreak(int Handle, bool OnOff) = 0;
    /// true resumes suspended output, false suspends it.
    virtual int SetFlow(int Handle, bool Resume) = 0;
    virtual int TransmitChar(int Handle, quint8 Ch) = 0;
    /// ENOTTY or EINVAL: the driver keeps no counters.
    virtual int ErrorCounts(int Handle, TLineErrorCounts &Counts) = 0;
    /// Starts watching the device; null with Err set when it cannot be watched.
    virtual std::unique_ptr<TComEventSource> CreateEventSource(int Handle, const TEventSetup &Setup,
                                                               int &Err) = 0;
};


/// The terminal device layer of this system.
std::shared_ptr<TComBackend> CreateSystemComBackend();

/// True for the errno with which a device without modem lines or counters refuses.
inline bool IsUnsupportedByDevice(int Err) { return Err == ENOTTY || Err == EINVAL; }
