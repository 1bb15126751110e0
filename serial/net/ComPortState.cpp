#include "serial/net/ComPortState.h"

using namespace comport;

TComPortAnswer ControlAnswer(quint8 V)
{
    if (V <= 3)
        return caFlow;
    if (V <= 6)
        return caBreak;
    if (V <= 9)
        return caDtr;
    if (V <= 12)
        return caRts;
    return caInFlow;
}

void TComPortState::Take(const TComPortMessage &M)
{
    if (M.Code < ServerOffset)
        return; // a server does not send client commands; nothing to learn from one
    const quint8 code = quint8(M.Code - ServerOffset);
    const quint32 first = M.Value.isEmpty() ? 0 : quint8(M.Value.at(0));
    auto answer = [this](TComPortAnswer Kind, quint32 V) {
        Value[Kind] = V;
        ++Answers[Kind];
    };
    switch (code) {
    case Signature:
        ServerSignature = QString::fromLatin1(M.Value);
        answer(caSignature, 0);
        break;
    case SetBaudRate:
        if (M.Value.size() == 4) {
            const auto *b = reinterpret_cast<const quint8 *>(M.Value.constData());
            answer(caBaudRate, quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | b[3]);
        }
        break;
    case SetDataSize: answer(caDataSize, first); break;
    case SetParity: answer(caParity, first); break;
    case SetStopSize: answer(caStopSize, first); break;
    case SetControl:
        if (!M.Value.isEmpty())
            answer(ControlAnswer(quint8(first)), first);
        break;
    case NotifyLineState:
        Frames += (first & LsFraming) != 0;
        Parities += (first & LsParity) != 0;
        Overruns += (first & LsOverrun) != 0;
        Breaks += (first & LsBreak) != 0;
        break;
    case NotifyModemState:
        ModemState = quint8(first);
        ++ModemNotices;
        break;
    case PurgeData: answer(caPurge, first); break;
    default: break; // mask answers and flow suspension: nothing this port acts on
    }
}
