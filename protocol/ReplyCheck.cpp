#include "protocol/ReplyCheck.h"

#include "protocol/Frame.h"

#include <atomic>

namespace {

std::atomic<TReplyPairing> pairing{rpChecked};

/// Bytes of the value an ACK to `request` carries; -1 when any reply will do.
int ValueWidth(const QByteArray &request)
{
    if (request.size() < 4)
        return -1;
    switch (TCommand(quint8(request[2]))) {
    case TCommand::COMM_MODE:
    case TCommand::PING: return -1;
    case TCommand::ID: return 4; // device type and firmware version
    case TCommand::SAVE_CONF: return 1;
    case TCommand::CMD_SET_HYST_WIDTH: return 4;
    case TCommand::CMD_CAL_ON:
    case TCommand::CMD_CAL_OFF:
    case TCommand::CMD_SET_CAL_STAB_TIME:
    case TCommand::CMD_SET_INERT_T_CALIB:
    case TCommand::CMD_SET_INERT_T_WORK:
    case TCommand::CMD_SET_INP_FLT_TIME: return 2;
    }
    return 0; // an unknown command: any whole frame, as the transaction always took
}

} // namespace

bool CanAnswer(const QByteArray &request, const quint8 *frame)
{
    const int width = ValueWidth(request);
    if (width <= 0 || frame[0] != FrameAck)
        return true;
    return ReadU16(frame + 1) >= quint32(ResponsePayload + width + 1);
}

bool NeedsSettledLine(const QByteArray &request)
{
    return ValueWidth(request) > 0 && ReplyPairing() == rpChecked;
}

void SetReplyPairing(TReplyPairing value)
{
    pairing.store(value, std::memory_order_relaxed);
}

TReplyPairing ReplyPairing()
{
    return pairing.load(std::memory_order_relaxed);
}
