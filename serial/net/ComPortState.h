#pragma once
// Internal: what an RFC 2217 server has told about its serial line, from its answers and
// notifications. Each kind of answer counts its arrivals, so a command can wait for the
// answer to itself.

#include "serial/net/TelnetSession.h"

#include <QString>

namespace comport {
// Client codes; the server answers with the code plus 100.
constexpr quint8 Signature = 0, SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4,
                 SetControl = 5, NotifyLineState = 6, NotifyModemState = 7, FlowSuspend = 8,
                 FlowResume = 9, SetLineStateMask = 10, SetModemStateMask = 11, PurgeData = 12;
constexpr quint8 ServerOffset = 100;
// Values of SetControl.
constexpr quint8 FlowNone = 1, FlowXonXoff = 2, FlowHardware = 3, BreakOn = 5, BreakOff = 6, DtrOn = 8,
                 DtrOff = 9, RtsOn = 11, RtsOff = 12, InFlowNone = 14, InFlowXonXoff = 15, InFlowHardware = 16;
// Modem state bits.
constexpr quint8 MsDcd = 128, MsRi = 64, MsDsr = 32, MsCts = 16, MsDeltaDcd = 8, MsRiTrailing = 4, MsDeltaDsr = 2,
                 MsDeltaCts = 1;
// Line state bits.
constexpr quint8 LsBreak = 16, LsFraming = 8, LsParity = 4, LsOverrun = 2;
} // namespace comport

/// The kinds of answer a command waits for; SetControl answers fall into groups by value.
enum TComPortAnswer : quint8 {
    caSignature, caBaudRate, caDataSize, caParity, caStopSize, caFlow, caInFlow, caBreak, caDtr, caRts,
    caPurge, caCount
};

struct TComPortState {
    quint32 Answers[caCount] = {}; ///< arrivals of each kind
    quint32 Value[caCount] = {};   ///< the last value of each kind (the rate for caBaudRate)
    QString ServerSignature;
    quint8 ModemState = 0;
    quint32 ModemNotices = 0;
    /// Line errors and breaks the server reported, counted as a driver counts them.
    quint64 Frames = 0, Parities = 0, Overruns = 0, Breaks = 0;

    /// Takes one message of the server.
    void Take(const TComPortMessage &Message);
};

/// The kind of answer that SetControl value V gets.
TComPortAnswer ControlAnswer(quint8 V);
