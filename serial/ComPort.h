#pragma once
// The serial port object: the port name, every line setting, opening and closing the
// device, synchronous and asynchronous reads and writes, modem lines and queue state.
//
// Settings apply lazily: on a closed port a setter only stores the value, on an open port
// the value reaches the device at once unless an update batch (BeginUpdate/EndUpdate) is
// open. Every failure goes through CallException: it raises EComPort, or, when OnException
// is assigned, hands the facts to that handler and the operation goes on.
//
// Linux: Port is a device name; an absolute path is used as it stands, a name with "://" is a
// line behind a serial device server (rfc2217://HOST:PORT, tcp://HOST:PORT; ComPortName.h),
// any other name is taken relative to /dev. The device is opened exclusively (a second open fails with code 1,
// also within one process, and to other programs). A device that does not take the rate
// (within 3 %), the data bits, the parity or the stop bits fails the apply with code 7; a
// pseudo-terminal, which always runs 8 data bits without parity, only for rate and stop
// bits. With Parity.Check, a byte received with a parity or framing error is passed on as it
// came, or as Parity.ReplaceChar when Parity.Replace is on. Settings with no terminal
// equivalent (DSR flow and sensitivity, TxContinueOnXoff, DiscardNull, RTS toggle, DTR
// handshake, queue sizes) are kept and reported back but not applied.
//
// Threads. A port belongs to the thread that creates it (its owner thread); every call is
// made there, except as follows.
//  - The event thread (one per open port with a non-empty Events set) waits for line events.
//    smThreadSync and smWindowSync run the handlers on the owner thread, which needs an event
//    loop for them; smNone runs them on the event thread, concurrently with the owner thread.
//    An smNone handler may read, write, use the line operations and call Close, which only
//    asks: the port closes on the event thread once the batch is over. It must not call
//    Open, the setters or the link registry, nor destroy the port.
//  - Asynchronous reads and writes finish on a background worker per direction; a record is
//    used by one thread at a time and may outlive its port (DoneAsync still works).
// What the owner thread's calls wait for:
//  - Close: the before-close handlers, the end of every read and write, then the event
//    thread's end (an smThreadSync batch waiting to be handed over is run inside Close), then
//    the device closes. When the event thread is running a close an smNone handler asked for,
//    Close waits for that close to finish instead.
//  - Open: first for a close an smNone handler asked for or is running. A close asked for
//    while Open runs waits until Open has returned; a Close from the owner meanwhile wins.
//  - The destructor: as Close, so no thread of the port runs once it returns.
// Lifetime: the event thread and its event source live from Open to Close (or to the event
// thread's own close); the read and write queues and their workers from the device's open to
// its close, and they stop telling the event source before it goes. Each port has its own
// lock and each queue one; neither is held across a blocking call or a handler.
// Network lines: on rfc2217:// the rate, data bits, parity, stop bits and flow control go to the
// server and its answers are checked (an answer that differs fails the apply with code 7, as a
// refusing device does); DTR, RTS and break are sent unanswered; modem-line and line-error
// events come from the server's notifications. On tcp:// the line settings are the server's
// own configuration and the line controls, modem lines and error counters answer "not
// supported by the device" (EOPNOTSUPP), as suspending our own output (SetXonXoff) does on
// both. Exclusive open, low latency and USB descriptions have no network meaning. OutputCount
// and evTxEmpty count what this side and its socket still hold, not the far UART's queue.
// Neither scheme authenticates or encrypts. A server that closes the connection is a line that
// hangs up: the next read fails; nothing reconnects by itself.

#include "serial/ComAsync.h"
#include "serial/ComError.h"
#include "serial/ComLink.h"
#include "serial/ComSettings.h"
#include "serial/ComTypes.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

class TComAsyncQueue;
class TComBackend;
class TComThread;
struct TEventSetup;
class TComEventSource;
class TComPortReceiver;
class TComPortEvent;
class TComRegistry;
class TComIniFile;

class TCustomComPort : public QObject, private TComHandlerOwner {
    Q_OBJECT
public:
    explicit TCustomComPort(QObject *parent = nullptr);
    /// Closes the port: OnBeforeClose and OnAfterClose run, but a subclass's overrides of
    /// DoBeforeClose/DoAfterClose (and the other Do methods) are gone by then. A subclass
    /// that overrides them calls Close() in its own destructor.
    ~TCustomComPort() override;

    /// Replaces the device layer (tests substitute one that fakes lines and errors); it then
    /// serves every name. Without one, each Open picks the layer for the name.
    /// Only on a closed port; returns false otherwise.
    bool SetBackend(std::shared_ptr<TComBackend> Backend);
    TComBackend &Backend() const { return *FBackend; }

    // Connection -----------------------------------------------------------------------
    void Open();
    /// Called from a handler on the event thread (smNone), Close cannot wait for that
    /// thread's end: it only asks, the rest of the batch is dropped and the port closes on
    /// the event thread as soon as the handler returns (Connected() is true until then).
    /// See "Threads" above for what Close waits for on the owner thread.
    void Close();
    bool Connected() const { return FConnected; }
    void SetConnected(bool Value);
    /// The open file descriptor, -1 when closed.
    int Handle() const { return FHandle; }
    void BeginUpdate();
    void EndUpdate();

    // Properties -----------------------------------------------------------------------
    QString Port() const { return FPort; }
    /// A different name is stored; an open port is closed and opened again on it.
    void SetPort(const QString &Value);
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate Value);
    int CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(int Value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits Value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits Value);
    bool DiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool Value);
    QChar EventChar() const { return FEventChar; }
    void SetEventChar(QChar Value);

    TComParity &Parity() { return FParity; }
    const TComParity &Parity() const { return FParity; }
    void SetParity(const TComParity &Value);
    TComFlowControl &FlowControl() { return FFlowControl; }
    const TComFlowControl &FlowControl() const { return FFlowControl; }
    void SetFlowControl(const TComFlowControl &Value);
    TComTimeouts &Timeouts() { return FTimeouts; }
    const TComTimeouts &Timeouts() const { return FTimeouts; }
    void SetTimeouts(const TComTimeouts &Value);
    TComBuffer &Buffer() { return FBuffer; }
    const TComBuffer &Buffer() const { return FBuffer; }
    void SetBuffer(const TComBuffer &Value);

    TComEvents Events() const { return FEvents; }
    /// Whether an event thread runs is decided at Open; on a port that runs one, the thread
    /// waits for the new set (of those that someone listens to) from now on.
    void SetEvents(TComEvents Value);
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    /// Code 14 on an open port.
    void SetSyncMethod(TSyncMethod Value);
    TThreadPriority EventThreadPriority() const { return FEventThreadPriority; }
    /// Code 14 on an open port.
    void SetEventThreadPriority(TThreadPriority Value);
    /// True only while set and no link takes the received data.
    bool GetTriggersOnRxChar() const { return FTriggersOnRxChar && !FHasLink; }
    bool TriggersOnRxChar() const { return GetTriggersOnRxChar(); }
    /// Code 22 while a link takes the received data; the value is stored all the same.
    void SetTriggersOnRxChar(bool Value);
    TStoredProps StoredProps() const { return FStoredProps; }
    void SetStoredProps(TStoredProps Value) { FStoredProps = Value; }
    /// Code page of the text operations: 0 (and 65001) is UTF-8; e.g. 1251 is windows-1251.
    quint32 CodePage() const { return FCodePage; }
    void SetCodePage(quint32 Value) { FCodePage = Value; }

    // Settings persistence (serial/store/) --------------------------------------------------
    /// Writes the StoredProps groups to the settings store (stRegistry: StoreTo is a root
    /// name, a backslash and a key path, and the values go to the subkey objectName()) or to
    /// the section objectName() of the ini file StoreTo (stIniFile). Any failure is code 16;
    /// values written before it stay written.
    void StoreSettings(TStoreType StoreType, const QString &StoreTo);
    /// Reads the same values back and applies them in one update batch. Any failure is
    /// code 17; values applied before it stay applied.
    void LoadSettings(TStoreType StoreType, const QString &LoadFrom);

    // Handlers ------------------------------------------------------------------------------
    // While the port is open with a non-empty Events set, an event thread waits for line
    // events and hands each batch over in the SyncMethod mode: smThreadSync runs it on the
    // port's thread while the event thread waits; smWindowSync posts one message per event
    // to the port's thread, releasing the event thread as each is picked up; smNone runs it on the
    // event thread. Within a batch: OnError, OnRxChar/OnRxBuf, OnTxEmpty, OnBreak, OnRing,
    // OnCTSChange, OnDSRChange, OnRxFlag, OnRLSDChange, OnRx80Full.
    // Linux: evRxFlag never fires (a terminal cannot spot EventChar without consuming it);
    // modem-line, error and break events need a driver with TIOCMIWAIT and line counters
    // (pseudo-terminals have neither). evRxChar fires when bytes arrive, not while they wait.
    // The event thread waits only for the events that a handler, a registered link or a
    // subclass's Do method can hear (with TriggersOnRxChar off, evRxChar always); assigning
    // a handler or registering a link widens the wait at once. An event that nobody hears
    // costs no wake-up, and a line error that no OnError hears stays for LastErrors.
    TComHandler<TRxCharEvent> OnRxChar;
    TComHandler<TRxBufEvent> OnRxBuf;
    TComHandler<TNotifyEvent> OnTxEmpty;
    TComHandler<TNotifyEvent> OnBreak;
    TComHandler<TNotifyEvent> OnRing;
    TComHandler<TComSignalEvent> OnCTSChange;
    TComHandler<TComSignalEvent> OnDSRChange;
    TComHandler<TComSignalEvent> OnRLSDChange;
    TComHandler<TComErrorEvent> OnError;
    TComHandler<TNotifyEvent> OnRxFlag;
    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnAfterClose;
    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnBeforeClose;
    TComHandler<TNotifyEvent> OnRx80Full;
    TComExceptionEvent OnException;

    // Line operations --------------------------------------------------------------------
    /// Modem input lines; a device without modem lines reads all off.
    TComSignals Signals();
    TComStateFlags StateFlags();
    /// Line errors since the last call (read and clear). Parity counts only with Parity.Check.
    TComErrors LastErrors();
    void SetDTR(bool OnOff);
    void SetRTS(bool OnOff);
    /// true: output resumes as if XON was received; false: as if XOFF was received.
    void SetXonXoff(bool OnOff);
    void SetBreak(bool OnOff);
    void TransmitChar(QChar Ch);

    // Reading and writing -------------------------------------------------------------------
    int WriteAsync(const void *Buffer, int Count, PAsync &AsyncPtr);
    int Write(const void *Buffer, int Count);
    /// Sends the low 8 bits of each character. Str is left as it was (the bytes are copied).
    int WriteStrAsync(QString &Str, PAsync &AsyncPtr);
    int WriteStr(QString Str);
    /// Encodes Str in CodePage and sends the bytes.
    int WriteUnicodeString(const QString &Str);
    int ReadAsync(void *Buffer, int Count, PAsync &AsyncPtr);
    int Read(void *Buffer, int Count);
    /// Sizes Str to Count bytes and reads into it; Str must live until the wait.
    int ReadStrAsync(QByteArray &Str, int Count, PAsync &AsyncPtr);
    /// Str becomes the bytes read, byte b as the character U+00bb.
    int ReadStr(QString &Str, int Count);
    /// Reads up to Count bytes and decodes them in CodePage; returns the characters produced.
    int ReadUnicodeString(QString &Str, int Count);
    /// Drives the operation to its end and returns the bytes moved.
    int WaitForAsync(PAsync &AsyncPtr);
    /// Tells, without waiting, whether the operation has ended; code 6 when it failed.
    bool IsAsyncCompleted(PAsync AsyncPtr);
    /// Ends every pending operation with the bytes it moved so far (and returns once they
    /// have); queued bytes stay.
    void AbortAllAsync();
    void ClearBuffer(bool Input, bool Output);
    int InputCount();
    int OutputCount();
    /// One-shot wait for line events without the event thread. StopEvent is a descriptor
    /// that becomes readable to end the wait early (-1 for none); Timeout -1 waits forever.
    void WaitForEvent(TComEvents &Events, int StopEvent, int Timeout);

    // Links -----------------------------------------------------------------------------------
    /// Code 18 when Link is already registered. The port never frees a link.
    void RegisterLink(TComLink *Link);
    /// Code 18 when Link is not registered.
    void UnRegisterLink(TComLink *Link);
    /// True when a registered link has OnRxBuf (judged at registration and removal).
    bool HasLink() const;

    /// While on (and the port open), InputAvailable is emitted on the calling thread, which
    /// must be the port's, whenever a Read may find bytes, also bytes the device layer has
    /// decoded and holds while the line is quiet, and the line's end. Level-triggered: it
    /// repeats until the bytes are read or the watch is switched off.
    void WatchInput(bool On);
    bool WatchingInput() const;
    /// True when the watch looks for input every millisecond (a device whose readiness the
    /// event loop cannot wait for): it costs while on, so a watcher that pauses switches it off.
    bool InputWatchPolls() const;

signals:
    /// The open descriptor (Handle) is about to be closed: whatever watches it must let go.
    void HandleClosing();
    void InputAvailable();

protected:
    /// Raises EComPort, or reports to OnException and returns.
    void CallException(quint16 AnException, qint64 WinError = 0);

    /// The work of Store/LoadSettings, group by group in a fixed order; override to store more.
    virtual void StoreRegistry(TComRegistry &Registry);
    virtual void StoreIniFile(TComIniFile &IniFile);
    virtual void LoadRegistry(TComRegistry &Registry);
    virtual void LoadIniFile(TComIniFile &IniFile);

    virtual void CreateHandle();
    virtual void DestroyHandle();
    virtual void SetupComPort();
    virtual void ApplyDCB();
    virtual void ApplyTimeouts();
    virtual void ApplyBuffer();

    virtual void DoAfterClose();
    virtual void DoAfterOpen();
    virtual void DoBeforeClose();
    virtual void DoBeforeOpen();
    virtual void DoRxChar(int Count);
    virtual void DoRxBuf(const void *Buffer, int Count);
    virtual void DoTxEmpty();
    virtual void DoBreak();
    virtual void DoRing();
    virtual void DoRxFlag();
    virtual void DoCTSChange(bool OnOff);
    virtual void DoDSRChange(bool OnOff);
    virtual void DoError(TComErrors Errors);
    virtual void DoRLSDChange(bool OnOff);
    virtual void DoRx80Full();

    // One per line event: links first, then the Do method.
    void CallRxChar();
    void CallTxEmpty();
    void CallRxFlag();
    void CallBreak();
    void CallRing();
    void CallCTSChange();
    void CallDSRChange();
    void CallRLSDChange();
    void CallError();
    void CallRx80Full();
    void CallBeforeOpen();
    void CallAfterOpen();
    void CallBeforeClose();
    void CallAfterClose();
    /// Open: reports the present modem lines; closing: reports them all off without reading.
    void CheckSignals(bool Open);

    void NotifyLink(TComLinkEvent Event);
    void SendSignalToLink(TComLinkEvent Signal, bool OnOff);
    void TxNotifyLink(const void *Buffer, int Count);

    bool CanApply() const { return FConnected && FUpdateCount == 0; }

    bool FThreadCreated = false;
    bool FHasLink = false;

private:
    friend class TComThread;
    friend class TComPortReceiver;

    /// A batch in the fixed order (ComEventOrder); stops when a handler closed the port.
    void DispatchEvents(TComEvents Events);
    void CallEvent(TComEvent Event);
    /// Any thread. False when dispatching Events on the port's thread could show nothing:
    /// see the definition. Watched is the Events set the event thread was started with.
    bool EventsHeard(TComEvents Events, TComEvents Watched) const;
    /// Port's thread. True while the Do methods are this class's own (no subclass overrides).
    bool PlainDispatch() const;
    /// The hidden receiver's message handler.
    void WindowMethod(const TComPortEvent &Message);
    void HandlerChanged() override { UpdateWatch(); }
    /// The events of Events that someone hears: what the event thread must wait for.
    TComEvents ListenedEvents() const;
    /// Tells the event thread's source what to wait for now.
    void UpdateWatch();
    /// A finished read takes the pending line errors only for someone who can hear them.
    bool ErrorsHeard() const;
    void StartEventThread();
    void StopEventThread();
    /// What an event source watches for Events, with this port's input size and rate.
    TEventSetup EventSetup(TComEvents Events) const;
    /// Output waits for CTS.
    bool RtsCtsFlow() const;
    /// Event thread: the close an smNone handler asked for, once its batch is over and the
    /// port's thread is not opening it. Given up when the port's thread closes it meanwhile.
    void CloseFromEventThread();
    /// Port's thread: when the event thread has taken on a close, waits until it has finished
    /// and collects the thread. False when there was none.
    bool SettleEventThreadClose();
    /// Joins and frees an event thread that ended by closing its own port.
    void ReapEventThread();
    /// The port's reads and writes stop telling the event source (before it goes).
    void DetachEventSource();
    /// Tell the event thread about output queued or input taken (evTxEmpty, evRxChar).
    void NoteWritten();
    void NoteConsumed();

    /// What the port's thread is doing to the connection; the event thread's close waits out
    /// an open and gives way to a close.
    enum TLifeStep : quint8 { lsNone, lsOpening, lsClosing };
    class TLifeStepScope;

    TComThread *FEventThread = nullptr; ///< port's thread only
    std::atomic<bool> FCloseAsked{false}; ///< an smNone handler called Close
    // This port's lock: the life steps and the event source, never held across a wait.
    std::mutex FLock;
    std::condition_variable FStepEnded;
    TLifeStep FOwnerStep = lsNone;
    bool FEventThreadCloses = false; ///< the event thread has taken on the close
    TComEventSource *FEventSource = nullptr; ///< the thread's, for the port's own reads and writes
    TComPortReceiver *FReceiver = nullptr;
    std::vector<TComLink *> FLinks;
    std::atomic<bool> FLinked{false}; ///< FLinks is not empty; read by the event thread
    friend class TComParity;
    friend class TComFlowControl;
    friend class TComTimeouts;
    friend class TComBuffer;

    void ReportLineFailure(quint16 Code, int Err);
    /// Reads the driver's error counters and returns what changed since the last read.
    TComErrors CollectErrors(bool Report);

    std::shared_ptr<TComBackend> FBackend;
    bool FBackendGiven = false;  ///< set by SetBackend: serves every name
    bool FNetBackend = false;    ///< FBackend is the network layer
    QObject *FInputWatch = nullptr; ///< the notifier of WatchInput, while open
    std::atomic<int> FHandle{-1};       ///< atomic: an smNone handler may close the port
    int FUpdateCount = 0;
    std::atomic<bool> FConnected{false};
    TBaudRate FBaudRate = br9600;
    int FCustomBaudRate = 9600;
    QString FPort = QStringLiteral("COM1");
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = dbEight;
    bool FDiscardNull = false;
    QChar FEventChar{0};
    TComEvents FEvents = AllComEvents;
    TComBuffer FBuffer;
    TComParity FParity;
    TComTimeouts FTimeouts;
    TComFlowControl FFlowControl;
    TSyncMethod FSyncMethod = smThreadSync;
    TThreadPriority FEventThreadPriority = tpNormal;
    std::atomic<bool> FTriggersOnRxChar{true}; ///< read by the event thread too
    TStoredProps FStoredProps{spBasic};
    quint32 FCodePage = 0;
    std::unique_ptr<TComAsyncQueue> FReadQueue;  ///< while open
    std::unique_ptr<TComAsyncQueue> FWriteQueue;
    TLineErrorCounts FErrorBase;
    std::atomic<bool> FNoErrorCounts{false}; ///< the open device keeps no counters: not asked again
};

/// The port object as placed on a form; it adds no behaviour.
class TComPort : public TCustomComPort {
    Q_OBJECT
public:
    explicit TComPort(QObject *parent = nullptr) : TCustomComPort(parent) {}
};
