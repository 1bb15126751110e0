#pragma once
// Request frames as the sensor receives them, for the window tests of every platform.

#include "protocol/Frame.h"

#include <QByteArray>
#include <QList>

#include <initializer_list>

inline QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

inline QByteArray Req(TCommand code, const QByteArray &payload = {})
{
    return BuildRequest(code, payload);
}
inline QByteArray CommOn() { return Req(TCommand::COMM_MODE, Bytes({1})); }
inline QByteArray CommOff() { return Req(TCommand::COMM_MODE, Bytes({0})); }
inline QList<QByteArray> Handshake() { return {CommOn(), Req(TCommand::PING), Req(TCommand::ID)}; }

/// The requests of the read workflow, in order.
inline QList<QByteArray> ReadWorkflowRequests()
{
    return Handshake()
        + QList<QByteArray>{Req(TCommand::CMD_SET_INERT_T_WORK), Req(TCommand::CMD_SET_INERT_T_CALIB),
                            Req(TCommand::CMD_SET_CAL_STAB_TIME), Req(TCommand::CMD_SET_INP_FLT_TIME),
                            Req(TCommand::CMD_SET_HYST_WIDTH), Req(TCommand::CMD_CAL_ON), Req(TCommand::CMD_CAL_OFF),
                            CommOff()};
}
