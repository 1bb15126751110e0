// The event thread: one blocking wait for line events, then the batch goes to the port.

#include "serial/ComThread_p.h"

#include "serial/ComBackend.h"
#include "serial/ComLink.h"
#include "serial/ComPort.h"
#include "serial/ExceptionDisplay.h"

#include <QCoreApplication>
#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {
std::atomic<quint64> NextId{1};
thread_local TCustomComPort *ServedPort = nullptr;
}

TCustomComPort *TComThread::CurrentPort() { return ServedPort; }

/// The rendezvous between the event thread and the port's thread. Shared, so that a
/// handler that closes the port (and destroys the thread) can still finish its batch.
struct TComDelivery {
    std::mutex Lock;
    std::condition_variable Cond;
    quint64 Id = 0;          ///< the batch or event in hand, 0 for none
    bool Taken = false;      ///< the port's thread has picked it up
    bool Done = false;       ///< its handlers have returned
    bool Abandoned = false;  ///< the port closed from inside its handlers
    bool Stopping = false;
    bool Finished = false;
};

TComPortReceiver::TComPortReceiver(TCustomComPort *Port) : QObject(Port), FPort(Port) {}

bool TComPortReceiver::event(QEvent *Event)
{
    if (Event->type() != CM_PORTEVENT)
        return QObject::event(Event);
    FPort->WindowMethod(*static_cast<TComPortEvent *>(Event));
    return true;
}

TComThread::TComThread(TCustomComPort *AComPort, std::unique_ptr<TComEventSource> Source,
                       QObject *Receiver)
    : FComPort(AComPort), FSource(std::move(Source)), FReceiver(Receiver),
      FSyncMethod(AComPort->SyncMethod()), FPlainDispatch(AComPort->PlainDispatch()),
      FWatched(AComPort->Events()), FHandle(AComPort->Handle()),
      FDelivery(std::make_shared<TComDelivery>())
{
}

TComThread::~TComThread()
{
    Stop();
    WaitServing();
    wait();
}

void TComThread::Stop()
{
    FSource->Stop();
    std::lock_guard guard(FDelivery->Lock);
    FDelivery->Stopping = true;
    FDelivery->Cond.notify_all();
}

void TComThread::WaitServing()
{
    std::shared_ptr<TComDelivery> d = FDelivery;
    std::unique_lock lock(d->Lock);
    while (!d->Finished) {
        if (d->Id != 0 && !d->Taken && FSyncMethod == smThreadSync) {
            const quint64 id = d->Id;
            lock.unlock();
            Serve(id);
            lock.lock();
            continue;
        }
        if (d->Id != 0 && d->Taken && !d->Done) {
            // Closed from inside the batch's own handlers: they finish after we return.
            d->Abandoned = true;
            d->Cond.notify_all();
        }
        d->Cond.wait(lock);
    }
}

void TComThread::run()
{
    ServedPort = FSyncMethod == smNone ? FComPort : nullptr;
    for (;;) {
        TComEvents events;
        bool stopped = false;
        if (FSource->Wait(events, -1, -1, stopped) != 0)
            break; // stopped, or the device has gone: the port notices at Close
        if (events.Empty())
            continue;
        FEvents = events;
        DispatchComMsg();
        if (FComPort->FCloseAsked)
            break;
    }
    // Nothing of this session may be read as part of the next; queued output still leaves.
    FComPort->Backend().Purge(FHandle, true, false);
    if (FComPort->FCloseAsked)
        FComPort->CloseFromEventThread();
    ServedPort = nullptr;
    std::lock_guard guard(FDelivery->Lock);
    FDelivery->Finished = true;
    FDelivery->Cond.notify_all();
}

void TComThread::DispatchComMsg()
{
    switch (FSyncMethod) {
    case smThreadSync: {
        // A batch that no handler or link would hear of is not worth waking the port's thread.
        if (FPlainDispatch && !FComPort->EventsHeard(FEvents, FWatched))
            return;
        PostAndWait(0, false);
        break;
    }
    case smWindowSync:
        SendEvents();
        break;
    case smNone:
        DoEvents();
        break;
    }
}

void TComThread::DoEvents()
{
    try {
        FComPort->DispatchEvents(FEvents);
    } catch (...) {
        ShowCurrentException();
    }
}

void TComThread::SendEvents()
{
    for (TComEvent e : ComEventOrder) {
        if (!FEvents.Contains(e) || (FPlainDispatch && !FComPort->EventsHeard({e}, FWatched)))
            continue;
        // Released as soon as the port's thread picks the event up, before its handlers.
        if (!PostAndWait(EventsToMask({e}), true))
            return;
    }
}

bool TComThread::PostAndWait(quint32 mask, bool untilTaken)
{
    std::unique_lock lock(FDelivery->Lock);
    if (FDelivery->Stopping)
        return false;
    const quint64 id = NextId.fetch_add(1);
    FDelivery->Id = id;
    FDelivery->Taken = FDelivery->Done = FDelivery->Abandoned = false;
    QCoreApplication::postEvent(FReceiver, new TComPortEvent(id, mask));
    if (untilTaken)
        FDelivery->Cond.wait(lock, [&] { return FDelivery->Taken || FDelivery->Stopping; });
    else
        FDelivery->Cond.wait(lock, [&] { return FDelivery->Done || FDelivery->Abandoned; });
    FDelivery->Id = 0;
    return true;
}

bool TComThread::Serve(quint64 Id)
{
    std::shared_ptr<TComDelivery> d = FDelivery; // outlives this thread if a handler closes
    {
        std::lock_guard guard(d->Lock);
        if (Id == 0 || d->Id != Id || d->Taken)
            return false;
        d->Taken = true;
    }
    TComEvents events = FEvents;
    TCustomComPort *port = FComPort;
    try {
        port->DispatchEvents(events);
    } catch (...) {
        ShowCurrentException();
    }
    std::lock_guard guard(d->Lock);
    d->Done = true;
    d->Cond.notify_all();
    return true;
}

bool TComThread::Take(quint64 Id)
{
    std::lock_guard guard(FDelivery->Lock);
    if (Id == 0 || FDelivery->Id != Id || FDelivery->Taken)
        return false;
    FDelivery->Taken = true;
    FDelivery->Cond.notify_all();
    return true;
}
