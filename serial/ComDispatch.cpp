// Port object: line events, open and close notifications, and links.

#include "serial/ComBackend.h"
#include "serial/ComConvert.h"
#include "serial/ComPort.h"
#include "serial/ComThread_p.h"
#include "serial/ExceptionDisplay.h"

#include <QCoreApplication>
#include <algorithm>
#include <memory>
#include <typeinfo>

// Event thread ------------------------------------------------------------------------------

void TCustomComPort::StartEventThread()
{
    int err = 0;
    std::unique_ptr<TComEventSource> source =
        FBackend->CreateEventSource(FHandle, EventSetup(FEvents), err);
    if (!source)
        throw EComPort(CE_WaitFailed + 1, err ? err : FBackend->Reason(rsNoWatch));
    {
        std::lock_guard guard(FLock);
        FEventSource = source.get();
    }
    FEventThread = new TComThread(this, std::move(source), FReceiver);
    FThreadCreated = true;
    UpdateWatch(); // before it first waits: nothing it would wake for in vain
    FEventThread->start(QThread::Priority(FEventThreadPriority));
}

TComEvents TCustomComPort::ListenedEvents() const
{
    // A link may take up any of its handlers later, a subclass may hear any Do method.
    if (FLinked.load(std::memory_order_acquire) || !PlainDispatch())
        return FEvents;
    TComEvents heard;
    const std::pair<TComEvent, bool> handlers[] = {
        // With TriggersOnRxChar off the bytes are read away, heard or not.
        {evRxChar, OnRxChar.Assigned() || OnRxBuf.Assigned() || !FTriggersOnRxChar.load()},
        {evTxEmpty, OnTxEmpty.Assigned()},       {evRxFlag, OnRxFlag.Assigned()},
        {evRing, OnRing.Assigned()},             {evBreak, OnBreak.Assigned()},
        {evCTS, OnCTSChange.Assigned()},         {evDSR, OnDSRChange.Assigned()},
        {evError, OnError.Assigned()},           {evRLSD, OnRLSDChange.Assigned()},
        {evRx80Full, OnRx80Full.Assigned()},
    };
    for (const auto &[event, assigned] : handlers)
        if (assigned)
            heard.Include(event);
    return heard & FEvents;
}

void TCustomComPort::UpdateWatch()
{
    if (TComEventSource *source = FEventSource)
        source->SetWatched(ListenedEvents());
}

bool TCustomComPort::ErrorsHeard() const
{
    return FThreadCreated && ListenedEvents().Contains(evError);
}

TEventSetup TCustomComPort::EventSetup(TComEvents Events) const
{
    TEventSetup setup;
    setup.Events = Events;
    setup.RxFullCount = std::max(1, int(qint64(FBuffer.InputSize()) * 8 / 10)); // 80 %
    setup.BaudRate = BaudRateValue(FBaudRate, FCustomBaudRate);
    return setup;
}

void TCustomComPort::StopEventThread()
{
    // A handler served while the thread ends may start a write whose worker goes on after
    // the source is gone: from here on nothing tells the source.
    DetachEventSource();
    TComThread *thread = FEventThread;
    FEventThread = nullptr; // a handler run while we wait must not see a dying thread
    delete thread;
    FThreadCreated = false;
    // Events sent before the stop are for a session that is over.
    QCoreApplication::removePostedEvents(FReceiver, CM_PORTEVENT);
}

void TCustomComPort::DetachEventSource()
{
    std::lock_guard guard(FLock);
    FEventSource = nullptr;
}

// Under the lock, so that the source cannot go while it is told; telling never blocks.
void TCustomComPort::NoteWritten()
{
    std::lock_guard guard(FLock);
    if (FEventSource)
        FEventSource->Written();
}

void TCustomComPort::NoteConsumed()
{
    std::lock_guard guard(FLock);
    if (FEventSource)
        FEventSource->Consumed();
}

void TCustomComPort::DispatchEvents(TComEvents Events)
{
    for (TComEvent event : ComEventOrder) {
        // A handler that closed the port ends the batch: the rest would act on no device.
        if (!FConnected || FCloseAsked)
            return;
        if (Events.Contains(event))
            CallEvent(event);
    }
}

void TCustomComPort::CallEvent(TComEvent Event)
{
    switch (Event) {
    case evRxChar: CallRxChar(); break;
    case evRxFlag: CallRxFlag(); break;
    case evTxEmpty: CallTxEmpty(); break;
    case evCTS: CallCTSChange(); break;
    case evDSR: CallDSRChange(); break;
    case evRLSD: CallRLSDChange(); break;
    case evBreak: CallBreak(); break;
    case evError: CallError(); break;
    case evRing: CallRing(); break;
    case evRx80Full: CallRx80Full(); break;
    }
}

void TCustomComPort::WindowMethod(const TComPortEvent &Message)
{
    if (Message.Mask == 0) {
        if (FEventThread)
            FEventThread->Serve(Message.Id);
        return;
    }
    // Release the event thread before any handler runs; a stale event is dropped.
    if (!FEventThread || !FEventThread->Take(Message.Id))
        return;
    try {
        if (!FConnected)
            return;
        const TComEvents events = MaskToEvents(Message.Mask);
        for (TComEvent event : ComEventOrder)
            if (events.Contains(event)) {
                CallEvent(event); // one event per message
                break;
            }
    } catch (...) {
        ShowCurrentException();
    }
}

// What the Call methods below do for an event with no handler and no link: evTxEmpty,
// evBreak, evRing, evRxFlag and evRx80Full nothing; evRxChar asks for the input count (which
// also takes the driver's pending line errors) and, with TriggersOnRxChar off, reads the input
// away; evError reads and clears the line errors; evCTS, evDSR and evRLSD read the modem lines.
// The count query alone shows nothing either: any line error it could take has been compared
// by the event source in the same pass, so it comes as evError in this batch (which then goes
// over), or it came later, as it could have before the port's thread got round to the batch.
bool TCustomComPort::EventsHeard(TComEvents Events, TComEvents Watched) const
{
    if (FLinked.load(std::memory_order_acquire))
        return true;
    if (Events.Contains(evError) || Events.Contains(evCTS) || Events.Contains(evDSR)
        || Events.Contains(evRLSD))
        return true;
    if (Events.Contains(evRxChar)
        && (OnRxChar.Assigned() || OnRxBuf.Assigned() || !FTriggersOnRxChar.load()
            || !Watched.Contains(evError)))
        return true;
    return (Events.Contains(evTxEmpty) && OnTxEmpty.Assigned())
           || (Events.Contains(evBreak) && OnBreak.Assigned())
           || (Events.Contains(evRing) && OnRing.Assigned())
           || (Events.Contains(evRxFlag) && OnRxFlag.Assigned())
           || (Events.Contains(evRx80Full) && OnRx80Full.Assigned());
}

bool TCustomComPort::PlainDispatch() const
{
    // A subclass may override a Do method: its batches always go to the port's thread.
    return typeid(*this) == typeid(TComPort) || typeid(*this) == typeid(TCustomComPort);
}

// Per-event calls ---------------------------------------------------------------------------

void TCustomComPort::CallError()
{
    const TComErrors errors = LastErrors();
    if (!errors.Empty())
        DoError(errors);
}

void TCustomComPort::CallRxChar()
{
    int count = InputCount();
    if (count > 0)
        SendSignalToLink(leRx, true);
    if (count > 0 && !GetTriggersOnRxChar()) {
        // One read from the driver, one buffer for the port's OnRxBuf and every link's.
        std::unique_ptr<char[]> buffer;
        auto fill = [&] {
            buffer = std::make_unique<char[]>(size_t(count));
            const int got = Read(buffer.get(), count);
            // Only the bytes actually read are handed on; the rest of the buffer is no data.
            count = std::clamp(got, 0, count);
            DoRxBuf(buffer.get(), count);
        };
        bool read = false;
        for (size_t i = 0; i < FLinks.size(); ++i) {
            TComLink *link = FLinks[i];
            if (!link->OnRxBuf)
                continue;
            if (!read) {
                read = true;
                fill();
            }
            link->OnRxBuf(this, buffer.get(), count);
        }
        if (!read && !FTriggersOnRxChar) {
            read = true;
            fill();
        }
        if (read)
            count = 0; // taken by the buffer handlers
    }
    if (count > 0)
        DoRxChar(count);
}

void TCustomComPort::CallTxEmpty()
{
    SendSignalToLink(leTx, false);
    NotifyLink(leTxEmpty);
    DoTxEmpty();
}

void TCustomComPort::CallBreak() { DoBreak(); }

void TCustomComPort::CallRing()
{
    NotifyLink(leRing);
    DoRing();
}

void TCustomComPort::CallCTSChange()
{
    const bool v = Signals().Contains(csCTS);
    SendSignalToLink(leCTS, v);
    DoCTSChange(v);
}

void TCustomComPort::CallDSRChange()
{
    const bool v = Signals().Contains(csDSR);
    SendSignalToLink(leDSR, v);
    DoDSRChange(v);
}

void TCustomComPort::CallRLSDChange()
{
    const bool v = Signals().Contains(csRLSD);
    SendSignalToLink(leRLSD, v);
    DoRLSDChange(v);
}

void TCustomComPort::CallRxFlag()
{
    NotifyLink(leRxFlag);
    DoRxFlag();
}

void TCustomComPort::CallRx80Full() { DoRx80Full(); }

void TCustomComPort::CallBeforeOpen() { DoBeforeOpen(); }

void TCustomComPort::CallAfterOpen()
{
    SendSignalToLink(leConn, true);
    DoAfterOpen();
    CheckSignals(true);
}

void TCustomComPort::CallBeforeClose()
{
    CheckSignals(false);
    DoBeforeClose();
}

void TCustomComPort::CallAfterClose()
{
    SendSignalToLink(leConn, false);
    DoAfterClose();
}

void TCustomComPort::CheckSignals(bool Open)
{
    if (Open) {
        CallCTSChange();
        CallDSRChange();
        CallRLSDChange();
        return;
    }
    SendSignalToLink(leCTS, false);
    SendSignalToLink(leDSR, false);
    SendSignalToLink(leRLSD, false);
    DoCTSChange(false);
    DoDSRChange(false);
    DoRLSDChange(false);
}

// Do methods --------------------------------------------------------------------------------

void TCustomComPort::DoAfterClose() { if (OnAfterClose) OnAfterClose(this); }
void TCustomComPort::DoAfterOpen() { if (OnAfterOpen) OnAfterOpen(this); }
void TCustomComPort::DoBeforeClose() { if (OnBeforeClose) OnBeforeClose(this); }
void TCustomComPort::DoBeforeOpen() { if (OnBeforeOpen) OnBeforeOpen(this); }
void TCustomComPort::DoRxChar(int Count) { if (OnRxChar) OnRxChar(this, Count); }
void TCustomComPort::DoRxBuf(const void *Buffer, int Count) { if (OnRxBuf) OnRxBuf(this, Buffer, Count); }
void TCustomComPort::DoTxEmpty() { if (OnTxEmpty) OnTxEmpty(this); }
void TCustomComPort::DoBreak() { if (OnBreak) OnBreak(this); }
void TCustomComPort::DoRing() { if (OnRing) OnRing(this); }
void TCustomComPort::DoRxFlag() { if (OnRxFlag) OnRxFlag(this); }
void TCustomComPort::DoCTSChange(bool OnOff) { if (OnCTSChange) OnCTSChange(this, OnOff); }
void TCustomComPort::DoDSRChange(bool OnOff) { if (OnDSRChange) OnDSRChange(this, OnOff); }
void TCustomComPort::DoError(TComErrors Errors) { if (OnError) OnError(this, Errors); }
void TCustomComPort::DoRLSDChange(bool OnOff) { if (OnRLSDChange) OnRLSDChange(this, OnOff); }
void TCustomComPort::DoRx80Full() { if (OnRx80Full) OnRx80Full(this); }

// Links -------------------------------------------------------------------------------------

void TCustomComPort::RegisterLink(TComLink *Link)
{
    if (Link && std::find(FLinks.begin(), FLinks.end(), Link) == FLinks.end())
        FLinks.push_back(Link);
    else
        CallException(CE_RegFailed + 1);
    FHasLink = HasLink();
    FLinked.store(!FLinks.empty(), std::memory_order_release);
    UpdateWatch();
}

void TCustomComPort::UnRegisterLink(TComLink *Link)
{
    auto it = std::find(FLinks.begin(), FLinks.end(), Link);
    if (Link && it != FLinks.end())
        FLinks.erase(it);
    else
        CallException(CE_RegFailed + 1);
    FHasLink = HasLink();
    FLinked.store(!FLinks.empty(), std::memory_order_release);
    UpdateWatch();
}

bool TCustomComPort::HasLink() const
{
    return std::any_of(FLinks.begin(), FLinks.end(),
                       [](const TComLink *l) { return bool(l->OnRxBuf); });
}

// Handlers may register or remove links: the walks index the live list, so a removal
// mid-walk never touches a link that is gone.
void TCustomComPort::NotifyLink(TComLinkEvent Event)
{
    for (size_t i = 0; i < FLinks.size(); ++i) {
        TComLink *link = FLinks[i];
        const TNotifyEvent *handler = Event == leRing      ? &link->OnRing
                                      : Event == leTxEmpty ? &link->OnTxEmpty
                                      : Event == leRxFlag  ? &link->OnRxFlag
                                                           : nullptr;
        if (handler && *handler)
            (*handler)(this);
    }
}

void TCustomComPort::SendSignalToLink(TComLinkEvent Signal, bool OnOff)
{
    for (size_t i = 0; i < FLinks.size(); ++i) {
        TComLink *link = FLinks[i];
        const TComSignalEvent *handler = Signal == leConn   ? &link->OnConn
                                         : Signal == leCTS  ? &link->OnCTSChange
                                         : Signal == leDSR  ? &link->OnDSRChange
                                         : Signal == leRLSD ? &link->OnRLSDChange
                                         : Signal == leRx   ? &link->OnRx
                                         : Signal == leTx   ? &link->OnTx
                                                            : nullptr;
        if (handler && *handler)
            (*handler)(this, OnOff);
    }
}

void TCustomComPort::TxNotifyLink(const void *Buffer, int Count)
{
    for (size_t i = 0; i < FLinks.size(); ++i)
        if (TComLink *link = FLinks[i]; link->OnTxBuf)
            link->OnTxBuf(this, Buffer, Count);
}
