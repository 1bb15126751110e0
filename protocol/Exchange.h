#pragma once
// One request/response transaction with the sensor over a context's port, bounded by the
// silence time-out of its tmrTimeout. The wait runs the event loop (the window stays live) and sleeps until a
// UI event, a timer tick or new bytes on the port wake it.

#include "protocol/Frame.h"

#include <QByteArray>
#include <array>

class TCustomComPort;
class TSensorContext;
class TTimer;

/// Bytes a transaction reads at a time.
constexpr int ResponseChunk = 10;
/// The scanner keeps less than one whole frame between chunks, so a buffer of this size never
/// overflows, whatever the sensor or the line noise sends.
constexpr quint32 ReplyBufferSize = MaxResponseLength + ResponseChunk;
using TReplyBuffer = std::array<quint8, ReplyBufferSize>;

/// Transaction results.
constexpr int ExchangeOk = 0;       ///< a whole reply frame (ACK or NAK) stands at offset 0
/// the time-out fired, or the longest transaction (LongestTransactionMs) passed, before a whole
/// frame had arrived
constexpr int ExchangeTimedOut = 2;
constexpr int ExchangeNotSent = 3;  ///< the write wrote no byte; no reply was awaited

/// Drains stale input, writes `request`, and collects the reply into `buffer` (`count` bytes
/// valid at the end). Returns one of the Exchange* results. EComPort from the port propagates.
/// The time-out counts from the write and anew from every received chunk. A line that keeps
/// sending bytes that never form a frame ends the transaction as a time-out, too, once it has
/// run for LongestTransactionMs.
/// Only a frame that can answer the request completes it (CanAnswer); others are discarded.
/// After a transaction that ended without its own reply, a request whose reply is evaluated
/// first waits for the line to settle (TLineSettle), so that a late reply never answers it.
/// Every discarded byte is reported to the exchange observer.
int Exchange(TSensorContext &context, const QByteArray &request, TReplyBuffer &buffer, quint32 &count);

/// How long a transaction may run in all: the time the largest reply (MaxResponseLength
/// bytes) takes at the port's line rate and framing, plus one time-out period of `interval`
/// ms. Later than that no valid reply can still be on its way.
qint64 LongestTransactionMs(const TCustomComPort &port, int interval);

/// Starts the timer's period anew (disable, enable).
void RestartTimer(TTimer &timer);
