#pragma once
// Internal: the event thread of an open port and the hand-over of its event batches.

#include "serial/ComTypes.h"

#include <QEvent>
#include <QObject>
#include <QThread>
#include <memory>

class TCustomComPort;
class TComEventSource;
struct TComDelivery;

/// The order in which the events of one batch are handed over, in every delivery mode.
inline constexpr TComEvent ComEventOrder[] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                              evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};

/// Message number of a line event sent to the port's hidden receiver.
inline constexpr QEvent::Type CM_PORTEVENT = QEvent::Type(QEvent::User + 1);

/// One line event (Mask: its event mask bit) or, with Mask 0, a whole batch to run.
class TComPortEvent : public QEvent {
public:
    TComPortEvent(quint64 AId, quint32 AMask) : QEvent(CM_PORTEVENT), Id(AId), Mask(AMask) {}
    const quint64 Id;
    const quint32 Mask;
};

/// Every port's receiver of the event messages posted to its thread (in every delivery
/// mode, so that a stale message of a closed session still finds its target).
class TComPortReceiver : public QObject {
public:
    explicit TComPortReceiver(TCustomComPort *Port);
    bool event(QEvent *Event) override;

private:
    TCustomComPort *FPort;
};

/// Waits for line events of one open port and hands each batch to it, in the port's
/// delivery mode. Built by Open, destroyed by Close.
class TComThread : public QThread {
public:
    TComThread(TCustomComPort *AComPort, std::unique_ptr<TComEventSource> Source,
               QObject *Receiver);
    /// Stops the thread and waits for its end; meanwhile a batch waiting for the port's
    /// thread is run, so a thread blocked in a delivery can see the stop.
    ~TComThread() override;

    void Stop();
    TComEventSource &Source() { return *FSource; }
    /// On an event thread: the port it serves; elsewhere null.
    static TCustomComPort *CurrentPort();

    /// Owner side of a posted batch: runs it unless it is stale. False when stale.
    bool Serve(quint64 Id);
    /// Owner side of a sent event: releases the thread. False when stale.
    bool Take(quint64 Id);

protected:
    void run() override; // the thread body

private:
    void DispatchComMsg();
    void DoEvents();
    void SendEvents();
    /// Posts one delivery (mask 0: the whole batch) to the owner thread and waits until it is
    /// taken (untilTaken) or handled. False when the port is stopping and nothing was posted.
    bool PostAndWait(quint32 mask, bool untilTaken);
    void WaitServing();

    TCustomComPort *FComPort;
    std::unique_ptr<TComEventSource> FSource;
    QObject *FReceiver;
    const TSyncMethod FSyncMethod;
    const bool FPlainDispatch;  ///< the port's Do methods are its class's own
    const TComEvents FWatched; ///< the Events the source watches
    const int FHandle;
    TComEvents FEvents;
    std::shared_ptr<TComDelivery> FDelivery;
};
