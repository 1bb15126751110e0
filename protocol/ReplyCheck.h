#pragma once
// Which reply frame can answer which request. A reply carries no command code, so only its
// shape and the state of the line tell whether it is the answer to the request just sent.

#include <QByteArray>
#include <QtGlobal>

/// True when the whole reply frame at `frame` can be the answer to `request`: any frame for
/// COMM_MODE and PING, whose replies carry nothing; else a NAK, or an ACK whose payload holds
/// the command's value. An ACK too short for the value answered some other command.
bool CanAnswer(const QByteArray &request, const quint8 *frame);

/// True when `request`'s reply is evaluated beyond its arrival, so that an earlier command's
/// late reply taken for it would show a wrong value or message: it must go out on a settled
/// line (see TLineSettle).
bool NeedsSettledLine(const QByteArray &request);

/// How replies are paired with requests, process-wide. By order alone is how earlier releases
/// did it; it is kept only so that measurements can compare both in one run.
enum TReplyPairing {
    rpChecked,   ///< the line settles after a transaction without its reply (the default)
    rpOrderOnly, ///< no settle: the first frame after the request that CanAnswer is its answer
};
void SetReplyPairing(TReplyPairing pairing);
TReplyPairing ReplyPairing();
