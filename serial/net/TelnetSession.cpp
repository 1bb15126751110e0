#include "serial/net/TelnetSession.h"

using namespace telnet;

namespace {
/// Options this client takes part in, besides the com-port option it offers itself.
bool Known(quint8 Option) { return Option == OptBinary || Option == OptSga; }
} // namespace

QByteArray TTelnetSession::Offer()
{
    const char offer[] = {char(IAC), char(WILL), char(OptComPort), char(IAC), char(WILL), char(OptBinary),
                          char(IAC), char(DO),   char(OptBinary),  char(IAC), char(WILL), char(OptSga),
                          char(IAC), char(DO),   char(OptSga)};
    return QByteArray(offer, sizeof offer);
}

QByteArray TTelnetSession::Escape(const char *Bytes, int Count)
{
    QByteArray out;
    out.reserve(Count + Count / 16 + 1);
    for (int i = 0; i < Count; ++i) {
        out.append(Bytes[i]);
        if (quint8(Bytes[i]) == IAC)
            out.append(char(IAC));
    }
    return out;
}

QByteArray TTelnetSession::ComPortCommand(quint8 Code, const QByteArray &Value)
{
    QByteArray out;
    out.append(char(IAC)).append(char(SB)).append(char(OptComPort)).append(char(Code));
    out.append(Escape(Value.constData(), int(Value.size())));
    out.append(char(IAC)).append(char(SE));
    return out;
}

void TTelnetSession::Feed(const char *Bytes, int Count, QByteArray &Data)
{
    for (int i = 0; i < Count; ++i) {
        const quint8 b = quint8(Bytes[i]);
        switch (FState) {
        case tsData:
            if (b == IAC)
                FState = tsIac;
            else
                Data.append(char(b));
            break;
        case tsIac:
            if (b == IAC) {
                Data.append(char(b));
                FState = tsData;
            } else if (b >= WILL) {
                FVerb = b;
                FState = tsVerb;
            } else if (b == SB) {
                FState = tsSbOption;
            } else {
                FState = tsData; // NOP, GA, AYT...: nothing this line needs
            }
            break;
        case tsVerb:
            Command(FVerb, b);
            FState = tsData;
            break;
        case tsSbOption:
            FSb.clear();
            FState = b == OptComPort ? tsSbData : tsSbSkip;
            break;
        case tsSbData:
        case tsSbSkip:
            if (b == IAC)
                FState = FState == tsSbData ? tsSbIac : tsSbSkipIac;
            else if (FState == tsSbData)
                FSb.append(char(b));
            break;
        case tsSbIac:
        case tsSbSkipIac:
            if (b == IAC) {
                if (FState == tsSbIac)
                    FSb.append(char(b));
                FState = FState == tsSbIac ? tsSbData : tsSbSkip;
            } else if (b == SE) {
                if (FState == tsSbIac && !FSb.isEmpty())
                    FMessages.push_back({quint8(FSb.at(0)), FSb.mid(1)});
                FState = tsData;
            } else {
                // A broken sub-negotiation: drop it and read on as data.
                FState = tsData;
            }
            break;
        }
    }
}

std::vector<TComPortMessage> TTelnetSession::TakeMessages()
{
    std::vector<TComPortMessage> out;
    out.swap(FMessages);
    return out;
}

QByteArray TTelnetSession::TakeReplies()
{
    QByteArray out;
    out.swap(FReplies);
    return out;
}

void TTelnetSession::Reply(quint8 Verb, quint8 Option)
{
    FReplies.append(char(IAC)).append(char(Verb)).append(char(Option));
}

// We offered all we want in Offer(), so an agreement needs no answer; a request for anything
// else is refused once per request, and a change of state is acknowledged.
void TTelnetSession::Command(quint8 Verb, quint8 Option)
{
    switch (Verb) {
    case DO:
        if (Option == OptComPort)
            FComPort = 1;
        else if (Known(Option))
            FUsEnabled[Option] = true;
        else
            Reply(WONT, Option);
        break;
    case DONT:
        if (Option == OptComPort) {
            FComPort = -1;
        } else if (Known(Option) && FUsEnabled[Option]) {
            FUsEnabled[Option] = false;
            Reply(WONT, Option);
        }
        break;
    case WILL:
        if (Known(Option))
            FHimEnabled[Option] = true;
        else
            Reply(DONT, Option);
        break;
    case WONT:
        if (Known(Option) && FHimEnabled[Option]) {
            FHimEnabled[Option] = false;
            Reply(DONT, Option);
        }
        break;
    default:
        break;
    }
}
