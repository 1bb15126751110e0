#pragma once
// One request/response transaction with the sensor over frmMain's port, bounded by the silence
// time-out tmrTimeout. The wait runs the event loop (the window stays live) and sleeps until a
// UI event, a timer tick or new bytes on the port wake it.

#include "protocol/Frame.h"

#include <QByteArray>
#include <array>

class QObject;
class TTimer;

/// Bytes a transaction reads at a time.
constexpr int ResponseChunk = 10;
/// The scanner keeps less than one whole frame between chunks, so a buffer of this size never
/// overflows, whatever the sensor or the line noise sends.
constexpr quint32 ReplyBufferSize = MaxResponseLength + ResponseChunk;
using TReplyBuffer = std::array<quint8, ReplyBufferSize>;

/// Transaction results.
constexpr int ExchangeOk = 0;       ///< a whole reply frame (ACK or NAK) stands at offset 0
constexpr int ExchangeTimedOut = 2; ///< the time-out fired before a whole frame had arrived
constexpr int ExchangeNotSent = 3;  ///< the write wrote no byte; no reply was awaited

/// Set by tmrTimeoutTimer, cleared by each Exchange when its wait starts. One per thread, like
/// frmMain: a host's timer ticks on the thread that runs its transactions.
extern thread_local bool TimedOut;

/// Drains stale input, writes `request`, and collects the reply into `buffer` (`count` bytes
/// valid at the end). Returns one of the Exchange* results. EComPort from the port propagates.
/// The time-out counts from the write and anew from every received chunk.
int Exchange(const QByteArray &request, TReplyBuffer &buffer, quint32 &count);

/// The tick handler of tmrTimeout: marks the time-out and disables the sending timer.
void tmrTimeoutTimer(QObject *Sender);

/// Starts the timer's period anew (disable, enable).
void RestartTimer(TTimer &timer);
