#pragma once
// Line events as bit masks, and the link through which another component follows a port.

#include "serial/ComTypes.h"

/// Notifications a port sends to its links.
enum TComLinkEvent : quint8 {
    leConn, leCTS, leDSR, leRLSD, leRing, leRx, leTx, leTxEmpty, leRxFlag
};

/// The communication event mask of a set of line events (EV_RXCHAR 0x0001 ... EV_RX80FULL 0x0400).
quint32 EventsToMask(TComEvents Events);
/// The events whose bit is present in Mask; other bits are ignored.
TComEvents MaskToEvents(quint32 Mask);

/// A client's bundle of handlers, registered with a port by RegisterLink. The port keeps a
/// reference only: the client owns the link and must unregister it before destroying it.
class TComLink {
public:
    TComSignalEvent OnConn;      ///< port opened (true) or closed (false)
    TRxBufEvent OnRxBuf;         ///< received bytes the port has read
    TRxBufEvent OnTxBuf;         ///< bytes of a completed write
    TNotifyEvent OnTxEmpty;      ///< output buffer emptied
    TNotifyEvent OnRxFlag;       ///< event character received
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRing;
    TComSignalEvent OnTx;        ///< transmission started (true) or output emptied (false)
    TComSignalEvent OnRx;        ///< bytes are waiting in the input buffer (true)
};
