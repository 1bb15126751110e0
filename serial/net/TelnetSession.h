#pragma once
// Internal: the Telnet layer of an rfc2217:// line, without any socket: received bytes go in,
// the data bytes, the com-port answers and the bytes to send back come out. Every sequence
// may arrive split at any byte.

#include <QByteArray>
#include <vector>

namespace telnet {
constexpr quint8 IAC = 255, SB = 250, SE = 240, WILL = 251, WONT = 252, DO = 253, DONT = 254;
constexpr quint8 OptBinary = 0, OptSga = 3, OptComPort = 44;
} // namespace telnet

/// One sub-negotiation of the com-port option from the server: its code (the client's code
/// plus 100) and its value with doubled IAC bytes undone.
struct TComPortMessage {
    quint8 Code = 0;
    QByteArray Value;
    bool operator==(const TComPortMessage &) const = default;
};

class TTelnetSession {
public:
    /// The client's opening offer: the com-port option, binary mode and no go-ahead, both ways.
    static QByteArray Offer();
    /// Data bytes as they go on the wire: every 255 doubled.
    static QByteArray Escape(const char *Bytes, int Count);
    /// A com-port command (client code 0..12) with its value escaped.
    static QByteArray ComPortCommand(quint8 Code, const QByteArray &Value);

    /// Decodes received bytes: data is appended to Data, answers are kept for TakeMessages,
    /// replies to the server's option requests for TakeReplies.
    void Feed(const char *Bytes, int Count, QByteArray &Data);
    std::vector<TComPortMessage> TakeMessages();
    QByteArray TakeReplies();

    /// The server agreed to the com-port option (DO 44) / refused it (DONT 44).
    bool ComPortAgreed() const { return FComPort == 1; }
    bool ComPortRefused() const { return FComPort == -1; }

private:
    void Command(quint8 Verb, quint8 Option);
    void Reply(quint8 Verb, quint8 Option);

    enum TState : quint8 { tsData, tsIac, tsVerb, tsSbOption, tsSbData, tsSbIac, tsSbSkip, tsSbSkipIac };
    TState FState = tsData;
    quint8 FVerb = 0;
    QByteArray FSb;
    std::vector<TComPortMessage> FMessages;
    QByteArray FReplies;
    int FComPort = 0;            ///< 0 unanswered, 1 agreed, -1 refused
    bool FHimEnabled[4] = {};    ///< BINARY and SGA from the server (indexed by option)
    bool FUsEnabled[4] = {};
};
