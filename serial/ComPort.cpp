// Port object: lifecycle, settings and their application to the device.

#include "serial/ComPort.h"

#include "serial/ChangedValue_p.h"
#include "serial/ComAsyncQueue_p.h"
#include "serial/ComBackend.h"
#include "serial/ComSystemText_p.h"
#include "serial/ComConvert.h"
#include "serial/ComPortInfo.h"
#include "serial/ComPortName.h"
#include "serial/net/NetBackend.h"
#include "serial/ComThread_p.h"
#include "serial/ExceptionDisplay.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <QThread>
#include <algorithm>

TCustomComPort::TCustomComPort(QObject *parent)
    : QObject(parent), FBackend(CreateSystemComBackend())
{
    FReceiver = new TComPortReceiver(this);
    for (auto *handler : {&OnTxEmpty, &OnBreak, &OnRing, &OnRxFlag, &OnRx80Full})
        handler->SetOwner(this);
    for (auto *handler : {&OnCTSChange, &OnDSRChange, &OnRLSDChange})
        handler->SetOwner(this);
    OnRxChar.SetOwner(this);
    OnRxBuf.SetOwner(this);
    OnError.SetOwner(this);
    FParity.SetComPort(this);
    FFlowControl.SetComPort(this);
    FTimeouts.SetComPort(this);
    FBuffer.SetComPort(this);
}

TCustomComPort::~TCustomComPort()
{
    // A handler may belong to an owner that is already going away: no reports from here.
    OnException = nullptr;
    try {
        Close(); // also waits for a close that the event thread is running
    } catch (...) {
    }
    SettleEventThreadClose();
    FReadQueue.reset();
    FWriteQueue.reset();
    if (FHandle >= 0)
        FBackend->Close(FHandle);
}

bool TCustomComPort::SetBackend(std::shared_ptr<TComBackend> Backend)
{
    if (FConnected || !Backend)
        return false;
    FBackend = std::move(Backend);
    FBackendGiven = true;
    FNetBackend = false;
    return true;
}

void TCustomComPort::CallException(quint16 AnException, qint64 WinError)
{
    if (!OnException) {
        if (WinError > 0)
            throw EComPort(AnException, int(WinError));
        throw EComPort::CreateNoWinCode(AnException);
    }
    QString winMessage;
    if (WinError > 0)
        winMessage = QStringLiteral("System Error.  Code: %1.\r\n%2")
                         .arg(WinError)
                         .arg(SystemErrorText(int(WinError)));
    OnException(this, TComExceptions(AnException - 1), ComErrorText(AnException), WinError,
                winMessage);
}

// Connection ------------------------------------------------------------------------------

/// Marks what the port's thread is doing for as long as it does it; a step nested in
/// another's handlers hands the outer one back.
class TCustomComPort::TLifeStepScope {
public:
    /// Call with the port's lock held.
    TLifeStepScope(TCustomComPort &Port, TLifeStep Step) : FPort(Port), FOuter(Port.FOwnerStep)
    {
        FPort.FOwnerStep = Step;
        FPort.FStepEnded.notify_all();
    }
    ~TLifeStepScope()
    {
        std::lock_guard guard(FPort.FLock);
        FPort.FOwnerStep = FOuter;
        FPort.FStepEnded.notify_all();
    }

private:
    TCustomComPort &FPort;
    const TLifeStep FOuter;
};

void TCustomComPort::Open()
{
    std::unique_lock lock(FLock);
    if (FOwnerStep == lsOpening)
        return; // from a handler of this very open: the port is open
    // A close that an smNone handler asked for is as good as done: let it finish first.
    if (FEventThreadCloses || (FCloseAsked && FConnected && FOwnerStep == lsNone)) {
        lock.unlock();
        ReapEventThread();
        lock.lock();
    }
    if (FConnected)
        return;
    FCloseAsked = false;
    TLifeStepScope step(*this, lsOpening);
    lock.unlock();

    CallBeforeOpen();
    CreateHandle();
    // A handler that swallowed the open failure leaves nothing to configure: stay closed.
    if (FHandle < 0)
        return;
    FConnected = true;
    try {
        SetupComPort();
    } catch (...) {
        DestroyHandle();
        FConnected = false;
        throw;
    }
    FErrorBase = {};
    // Errors from before the open are not ours; a device without counters is not asked again.
    const int countsErr = FBackend->ErrorCounts(FHandle, FErrorBase);
    FNoErrorCounts = countsErr != 0 && FBackend->IsUnsupportedByDevice(countsErr);
    FThreadCreated = false;
    if (!FEvents.Empty()) {
        try {
            StartEventThread();
        } catch (const EComPort &e) {
            DestroyHandle();
            FConnected = false;
            CallException(quint16(e.Code()), e.WinCode());
            return;
        }
    }
    CallAfterOpen();
}

void TCustomComPort::Close()
{
    if (TComThread::CurrentPort() == this) {
        // An smNone handler: the event thread cannot wait for its own end, so the port
        // closes as soon as the batch is over, on that thread.
        FCloseAsked = true;
        return;
    }
    std::unique_lock lock(FLock);
    if (FEventThreadCloses) {
        lock.unlock();
        ReapEventThread(); // the port is closed when it returns
        return;
    }
    // A handler run while the port closes may close again: the outer Close finishes.
    if (!FConnected || FOwnerStep == lsClosing)
        return;
    // From here on an event thread asked to close gives way to this close.
    TLifeStepScope step(*this, lsClosing);
    lock.unlock();

    CallBeforeClose();
    AbortAllAsync();
    if (FThreadCreated)
        StopEventThread();
    DestroyHandle();
    FConnected = false;
    CallAfterClose();
}

void TCustomComPort::CloseFromEventThread()
{
    {
        std::unique_lock lock(FLock);
        FStepEnded.wait(lock, [&] { return FOwnerStep != lsOpening; });
        if (FOwnerStep == lsClosing || !FConnected)
            return; // the port's thread is closing it already
        FEventThreadCloses = true;
    }
    try {
        CallBeforeClose();
        AbortAllAsync();
    } catch (...) {
        ShowCurrentException();
    }
    DetachEventSource();
    DestroyHandle();
    FConnected = false;
    try {
        CallAfterClose();
    } catch (...) {
        ShowCurrentException();
    }
}

bool TCustomComPort::SettleEventThreadClose()
{
    {
        std::lock_guard guard(FLock);
        if (!FEventThreadCloses)
            return false;
    }
    ReapEventThread();
    return true;
}

void TCustomComPort::ReapEventThread()
{
    // Deleting waits for the thread's end, and so for the close it runs on its way out.
    delete FEventThread;
    FEventThread = nullptr;
    FThreadCreated = false;
    std::lock_guard guard(FLock);
    FEventThreadCloses = false;
}

void TCustomComPort::SetConnected(bool Value)
{
    if (Value != FConnected)
        Value ? Open() : Close();
}

void TCustomComPort::CreateHandle()
{
    if (!FBackendGiven && IsNetPortName(FPort) != FNetBackend) {
        FNetBackend = !FNetBackend;
        FBackend = FNetBackend ? CreateNetComBackend() : CreateSystemComBackend();
    }
    int handle = -1;
    int err = FBackend->Open(QFile::encodeName(ComDevicePath(FPort)), handle);
    std::unique_ptr<TComWakeup> readWake, writeWake;
    if (err == 0)
        readWake = FBackend->CreateWakeup(err);
    if (err == 0)
        writeWake = FBackend->CreateWakeup(err);
    if (err != 0) {
        if (handle >= 0)
            FBackend->Close(handle);
        FHandle = -1;
        CallException(CE_OpenFailed + 1, err);
        return;
    }
    FHandle = handle;
    FReadQueue = std::make_unique<TComAsyncQueue>(*FBackend, handle, true, std::move(readWake),
                                                  [this] { NoteConsumed(); });
    FWriteQueue = std::make_unique<TComAsyncQueue>(*FBackend, handle, false, std::move(writeWake),
                                                   [this] { NoteWritten(); });
}

void TCustomComPort::DestroyHandle()
{
    if (FHandle < 0)
        return;
    emit HandleClosing();
    if (FInputWatch) {
        // Its descriptor closes with the handle; a close on the event thread cannot touch it.
        if (FInputWatch->thread() == QThread::currentThread())
            delete FInputWatch;
        else
            FInputWatch->deleteLater();
        FInputWatch = nullptr;
    }
    FReadQueue.reset();
    FWriteQueue.reset();
    // The descriptor is gone even when close reports an error; keeping the number would let
    // a later open elsewhere in the process be mistaken for this device.
    FBackend->Close(FHandle);
    FHandle = -1;
}

void TCustomComPort::SetupComPort()
{
    ApplyBuffer();
    ApplyDCB();
    ApplyTimeouts();
}

void TCustomComPort::WatchInput(bool On)
{
    if (FHandle < 0)
        return;
    if (!FInputWatch && On) {
        if (const int fd = FBackend->InputReadyFd(FHandle); fd >= 0) {
            auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
            connect(notifier, &QSocketNotifier::activated, this, &TCustomComPort::InputAvailable);
            FInputWatch = notifier;
        } else {
            // A device without a readiness the event loop can wait for (a Windows COM handle):
            // look every millisecond while watched.
            auto *poll = new QTimer;
            poll->setTimerType(Qt::PreciseTimer);
            poll->setInterval(1);
            connect(poll, &QTimer::timeout, this, [this] {
                // Only input, or a failure a read will report: a wake for nothing would make
                // the waiting transaction rest before it looks again.
                int queued = 0;
                if (FHandle >= 0 && (FBackend->InputCount(FHandle, queued) != 0 || queued > 0))
                    emit InputAvailable();
            });
            FInputWatch = poll;
        }
    }
    if (auto *notifier = qobject_cast<QSocketNotifier *>(FInputWatch))
        notifier->setEnabled(On);
    else if (auto *poll = qobject_cast<QTimer *>(FInputWatch))
        On ? poll->start() : poll->stop();
}

bool TCustomComPort::InputWatchPolls() const
{
    if (FInputWatch)
        return qobject_cast<const QTimer *>(FInputWatch) != nullptr;
    return FHandle >= 0 && FBackend->InputReadyFd(FHandle) < 0;
}

bool TCustomComPort::WatchingInput() const
{
    if (auto *notifier = qobject_cast<const QSocketNotifier *>(FInputWatch))
        return notifier->isEnabled();
    auto *poll = qobject_cast<const QTimer *>(FInputWatch);
    return poll && poll->isActive();
}

void TCustomComPort::BeginUpdate() { ++FUpdateCount; }

void TCustomComPort::EndUpdate()
{
    if (FUpdateCount <= 0)
        return;
    if (--FUpdateCount == 0)
        SetupComPort();
}

void TCustomComPort::ApplyDCB()
{
    if (!CanApply())
        return;
    TLineSettings s;
    s.BaudRate = BaudRateValue(FBaudRate, FCustomBaudRate);
    s.DataBits = 5 + int(FDataBits);
    s.Parity = FParity.Bits();
    s.ParityCheck = FParity.Check();
    s.ParityReplace = FParity.Replace();
    s.ReplaceChar = quint8(FParity.ReplaceChar().unicode() & 0xFF);
    s.TwoStopBits = FStopBits != sbOneStopBit;
    s.RtsCtsFlow = RtsCtsFlow();
    s.XonXoffOut = FFlowControl.XonXoffOut();
    s.XonXoffIn = FFlowControl.XonXoffIn();
    s.XonChar = quint8(FFlowControl.XonChar().unicode() & 0xFF);
    s.XoffChar = quint8(FFlowControl.XoffChar().unicode() & 0xFF);
    // DTR handshake has no terminal equivalent: the line is simply held active.
    s.Dtr = FFlowControl.ControlDTR() == dtrDisable ? 0 : 1;
    s.Rts = FFlowControl.ControlRTS() == rtsEnable ? 1 : 0;
    if (int err = FBackend->Apply(FHandle, s))
        CallException(CE_SetStateFailed + 1, err);
}

bool TCustomComPort::RtsCtsFlow() const
{
    return FFlowControl.OutCTSFlow() || FFlowControl.ControlRTS() == rtsHandshake;
}

// Timeouts are kept by the port and enforced at every read and write; queue sizes have no
// terminal equivalent. Neither can fail.
void TCustomComPort::ApplyTimeouts() {}
void TCustomComPort::ApplyBuffer() {}


// Properties ------------------------------------------------------------------------------

void TCustomComPort::SetPort(const QString &Value)
{
    if (Value == FPort)
        return;
    FPort = Value;
    if (FConnected) {
        Close();
        Open();
    }
}

void TCustomComPort::SetBaudRate(TBaudRate Value) { if (Store(FBaudRate, Value)) ApplyDCB(); }
void TCustomComPort::SetCustomBaudRate(int Value) { if (Store(FCustomBaudRate, Value)) ApplyDCB(); }
void TCustomComPort::SetStopBits(TStopBits Value) { if (Store(FStopBits, Value)) ApplyDCB(); }
void TCustomComPort::SetDataBits(TDataBits Value) { if (Store(FDataBits, Value)) ApplyDCB(); }
void TCustomComPort::SetDiscardNull(bool Value) { if (Store(FDiscardNull, Value)) ApplyDCB(); }
void TCustomComPort::SetEventChar(QChar Value) { if (Store(FEventChar, Value)) ApplyDCB(); }

void TCustomComPort::SetParity(const TComParity &Value)
{
    FParity.Assign(Value);
    ApplyDCB();
}

void TCustomComPort::SetFlowControl(const TComFlowControl &Value)
{
    FFlowControl.Assign(Value);
    ApplyDCB();
}

void TCustomComPort::SetTimeouts(const TComTimeouts &Value)
{
    FTimeouts.Assign(Value);
    ApplyTimeouts();
}

void TCustomComPort::SetBuffer(const TComBuffer &Value)
{
    FBuffer.Assign(Value);
    ApplyBuffer();
}

void TCustomComPort::SetSyncMethod(TSyncMethod Value)
{
    if (Value == FSyncMethod)
        return;
    if (FConnected)
        return CallException(CE_ConnChangeProp + 1);
    FSyncMethod = Value;
}

void TCustomComPort::SetEventThreadPriority(TThreadPriority Value)
{
    if (Value == FEventThreadPriority)
        return;
    if (FConnected)
        return CallException(CE_ConnChangeProp + 1);
    FEventThreadPriority = Value;
}

void TCustomComPort::SetTriggersOnRxChar(bool Value)
{
    if (FHasLink)
        CallException(CE_HasLink + 1);
    FTriggersOnRxChar = Value;
    UpdateWatch(); // off: received bytes are read away, so the thread must hear them
}

void TCustomComPort::SetEvents(TComEvents Value)
{
    FEvents = Value;
    UpdateWatch();
}
