#pragma once
// The device layer under the port object. Every operating-system call of the component goes
// through this interface; TCustomComPort::SetBackend puts another in its place (a test double,
// a line that is not a local device). Each call returns 0 on success or the platform's error
// number of the failure.

#include "serial/ComTypes.h"

#include <QByteArray>
#include <memory>

/// Why the port refuses on its own, before any device call could fail.
enum TComReason : quint8 {
    rsBadArgument, ///< a negative count, a missing buffer, text the code page cannot hold
    rsNotOpen,     ///< the port has no device
    rsNoWatch,     ///< the device cannot be watched for line events
};

/// The line settings as the device sees them.
struct TLineSettings {
    int BaudRate = 9600;
    int DataBits = 8;            ///< 5..8
    TParityBits Parity = prNone;
    bool ParityCheck = false;    ///< check received parity and framing
    bool ParityReplace = false;  ///< with ParityCheck: a byte received in error reads as ReplaceChar
    quint8 ReplaceChar = 0;
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
    /// a wake-up that turned out to be none). Returns 0, or an error number once stopped,
    /// on a failure and when the device has gone away.
    virtual int Wait(TComEvents &Events, int TimeoutMs, int StopFd, bool &Stopped) = 0;
    /// Ends a Wait in progress and every later one. Any thread.
    virtual void Stop() = 0;
    /// The port has queued output: evTxEmpty follows when it has left. Any thread.
    virtual void Written() = 0;
    /// The port has taken input from the driver. Any thread.
    virtual void Consumed() = 0;
    /// Waits from now on only for Events (what someone listens to; it may reach beyond the
    /// setup's), so that unheard line activity costs nothing. A Wait in progress picks the
    /// change up at once. Any thread. A source that cannot narrow goes on watching its setup.
    virtual void SetWatched(TComEvents Events) { (void)Events; }
};

/// A flag that ends a device Wait given its Fd() as StopFd, until it is reset. Any thread.
class TComWakeup {
public:
    virtual ~TComWakeup() = default;
    virtual int Fd() const = 0;
    virtual void Set() = 0;
    virtual void Reset() = 0;
};

class TComBackend {
public:
    virtual ~TComBackend() = default;

    /// Opens Path exclusively, non-blocking; refuses a path that is not a terminal.
    virtual int Open(const QByteArray &Path, int &Handle) = 0;
    virtual int Close(int Handle) = 0;
    /// Raw mode with the given settings, in one step. An error when the device cannot take
    /// the rate, data bits, parity or stop bits (a device without framing excepted).
    virtual int Apply(int Handle, const TLineSettings &Settings) = 0;

    /// Non-blocking. Done is the bytes moved; nothing queued is success with Done 0;
    /// a device that has hung up gives an error. With ParityCheck, bytes received in error come
    /// back as the settings say (unchanged, or as ReplaceChar).
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

    /// IsUnsupportedByDevice: the device has no modem lines.
    virtual int ModemLines(int Handle, TComSignals &Lines) = 0;
    virtual int SetLine(int Handle, TModemLine Line, bool OnOff) = 0;
    virtual int SetBreak(int Handle, bool OnOff) = 0;
    /// true resumes suspended output, false suspends it.
    virtual int SetFlow(int Handle, bool Resume) = 0;
    virtual int TransmitChar(int Handle, quint8 Ch) = 0;
    /// IsUnsupportedByDevice: the driver keeps no counters.
    virtual int ErrorCounts(int Handle, TLineErrorCounts &Counts) = 0;
    /// Starts watching the device; null with Err set when it cannot be watched.
    virtual std::unique_ptr<TComEventSource> CreateEventSource(int Handle, const TEventSetup &Setup,
                                                               int &Err) = 0;
    /// Null with Err set when none can be made.
    virtual std::unique_ptr<TComWakeup> CreateWakeup(int &Err) = 0;
    /// A descriptor that is readable while a Read may find data or the line's end; it stays
    /// valid until Close. A device that buffers decoded input itself gives its own; -1 when
    /// there is none, and the port looks for input every millisecond instead.
    virtual int InputReadyFd(int Handle) { return Handle; }

    /// The platform's error number that stands for Reason.
    virtual int Reason(TComReason Reason) const = 0;
    /// True for the error with which a device without modem lines or counters refuses.
    virtual bool IsUnsupportedByDevice(int Err) const = 0;
};


/// The terminal device layer of this system.
std::shared_ptr<TComBackend> CreateSystemComBackend();
