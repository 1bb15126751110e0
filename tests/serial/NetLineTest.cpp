// Lines behind serial device servers: the names, the Telnet layer, and servers that misbehave.

#include "ScriptedServer.h"
#include "TestSupport.h"

#include "serial/ComBackend.h"
#include "serial/ComOpenFailure.h"
#include "serial/ComPortInfo.h"
#include "serial/ComPortName.h"
#include "serial/net/TelnetSession.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

TEST(NetPortName, Forms)
{
    struct Case {
        const char *Name;
        bool Valid;
        TNetScheme Scheme;
        const char *Host;
        int Port;
        const char *Problem; // part of the message of an invalid name
    } cases[] = {
        {"rfc2217://127.0.0.1:4001", true, nsRfc2217, "127.0.0.1", 4001, ""},
        {"tcp://[::1]:25", true, nsTcp, "::1", 25, ""},
        {"tcp://sensors.plant:65535", true, nsTcp, "sensors.plant", 65535, ""},
        {"socket://h:1", false, nsTcp, "", 0, "unknown scheme 'socket'"},
        {"rfc2217+tls://h:1", false, nsTcp, "", 0, "unknown scheme"},
        {"tcp://::1:25", false, nsTcp, "", 0, "brackets"},
        {"tcp://h", false, nsTcp, "", 0, "HOST:PORT"},
        {"tcp://h:0", false, nsTcp, "", 0, "TCP port"},
        {"tcp://h:65536", false, nsTcp, "", 0, "TCP port"},
        {"tcp://h:+5", false, nsTcp, "", 0, "TCP port"},
        {"tcp://:5", false, nsTcp, "", 0, "host"},
    };
    for (const Case &c : cases) {
        TNetPortName name;
        QString problem;
        EXPECT_TRUE(IsNetPortName(QLatin1String(c.Name)));
        ASSERT_EQ(ParseNetPortName(QLatin1String(c.Name), name, &problem), c.Valid) << c.Name;
        if (c.Valid) {
            EXPECT_EQ(name.Scheme, c.Scheme) << c.Name;
            EXPECT_EQ(name.Host, QLatin1String(c.Host)) << c.Name;
            EXPECT_EQ(name.Port, c.Port) << c.Name;
        } else {
            EXPECT_TRUE(problem.contains(QLatin1String(c.Problem))) << c.Name << ": " << problem.toStdString();
        }
    }
    // Device names keep their meaning.
    EXPECT_FALSE(IsNetPortName(QStringLiteral("ttyUSB0")));
    EXPECT_EQ(ComDevicePath(QStringLiteral("tcp://h:1")), QStringLiteral("tcp://h:1"));
}

QByteArray B(std::initializer_list<int> Bytes)
{
    QByteArray out;
    for (int b : Bytes)
        out.append(char(b));
    return out;
}

TEST(TelnetSession, DecodesTheSameWhereverTheReadsSplit)
{
    // Data with a doubled 255, the agreement, a rate answer whose value holds a 255, two
    // unknown requests, a modem notice, and data again.
    const QByteArray wire = QByteArray("ab") + B({255, 255}) + B({255, 253, 44})
        + B({255, 250, 44, 101, 0, 0, 0, 255, 255, 255, 240}) + "c" + B({255, 251, 1}) + B({255, 253, 24})
        + B({255, 250, 44, 107, 16, 255, 240}) + B({255, 250, 24, 1, 255, 255, 255, 240}) + B({255, 255}) + "z";
    const QByteArray data = QByteArray("ab\xFF" "c\xFFz");
    const std::vector<TComPortMessage> messages = {{101, B({0, 0, 0, 255})}, {107, B({16})}};
    const QByteArray replies = B({255, 254, 1, 255, 252, 24}); // DONT echo, WONT terminal type

    auto check = [&](const std::vector<int> &Cuts) {
        TTelnetSession t;
        QByteArray got;
        int from = 0;
        for (int cut : Cuts) {
            t.Feed(wire.constData() + from, cut - from, got);
            from = cut;
        }
        t.Feed(wire.constData() + from, int(wire.size()) - from, got);
        EXPECT_EQ(got, data);
        EXPECT_EQ(t.TakeMessages(), messages);
        EXPECT_EQ(t.TakeReplies(), replies);
        EXPECT_TRUE(t.ComPortAgreed());
    };
    for (int i = 0; i <= wire.size(); ++i)
        for (int j = i; j <= wire.size(); j += 3)
            check({i, j});
    std::vector<int> everyByte;
    for (int i = 1; i < wire.size(); ++i)
        everyByte.push_back(i);
    check(everyByte);
}

TEST(TelnetSession, DoublesEvery255GoingOut)
{
    EXPECT_EQ(TTelnetSession::Escape("\xFF\x01\xFF\xFF", 4), B({255, 255, 1, 255, 255, 255, 255}));
    EXPECT_EQ(TTelnetSession::ComPortCommand(1, B({0, 0, 0, 255})), B({255, 250, 44, 1, 0, 0, 0, 255, 255, 255, 240}));
    TTelnetSession t;
    QByteArray data;
    t.Feed("\xFF\xFE\x2C", 3, data); // DONT com-port option
    EXPECT_TRUE(t.ComPortRefused());
}

/// Opens Name and returns what the open raised.
EComPort OpenFails(const QString &Name, qint64 *Ms = nullptr)
{
    TComPort port;
    port.SetPort(Name);
    QElapsedTimer t;
    t.start();
    const EComPort e = ExpectComError([&] { port.Open(); });
    if (Ms)
        *Ms = t.elapsed();
    EXPECT_FALSE(port.Connected());
    return e;
}

TEST(NetLine, ServersThatMisbehaveFailTheOpenWithTheirReason)
{
    using TClient = TScriptedServer::TClient;
    struct Case {
        const char *What;
        TScriptedServer::TScript Script;
        int Code;   // 1: open failed, 7: the settings were refused
        int Error;
        TComOpenFailure::TReason Reason;
        const char *Text;
    } cases[] = {
        {"busy", [](TClient &c) { c.Send("Port already in use\r\n"); }, 1, EBUSY, TComOpenFailure::ofServerBusy,
         "Port already in use"},
        {"busy after agreeing",
         [](TClient &c) {
             c.Send(QByteArray("\xFF\xFD\x2C", 3));
             c.Send("Port's device already in use\r\n");
         },
         1, EBUSY, TComOpenFailure::ofServerBusy, "Port's device already in use"},
        {"closes during negotiation", [](TClient &c) { c.Pump(50); }, 1, ECONNRESET,
         TComOpenFailure::ofServerClosed, ""},
        {"refuses the option",
         [](TClient &c) {
             c.Send(QByteArray("\xFF\xFE\x2C", 3));
             c.Pump(500);
         },
         1, EPROTO, TComOpenFailure::ofNotRfc2217, ""},
        {"never answers", [](TClient &c) { c.Pump(3000); }, 1, EPROTO, TComOpenFailure::ofNotRfc2217, ""},
        {"answers another rate",
         [](TClient &c) {
             c.Agree();
             c.Pump(300, [&] { return c.Commands.size() >= 4; });
             for (const TComPortMessage &m : c.Commands)
                 if (m.Code != 0)
                     c.Answer(m.Code, m.Code == 1 ? B({0, 0, 0x4B, 0}) : m.Value); // 19200
             c.AnswerAll(500, c.Commands.size());
         },
         7, EINVAL, TComOpenFailure::ofOther, ""},
        {"leaves the settings unanswered",
         [](TClient &c) {
             c.Agree();
             c.Pump(3000);
         },
         7, ETIMEDOUT, TComOpenFailure::ofOther, ""},
    };
    for (const Case &c : cases) {
        TScriptedServer server(c.Script);
        const EComPort e = OpenFails(server.Name());
        EXPECT_EQ(e.Code(), c.Code) << c.What;
        EXPECT_EQ(e.WinCode(), c.Error) << c.What;
        if (c.Code == 1) {
            const TComOpenFailure f = DiagnoseOpenFailure(server.Name(), e.WinCode());
            EXPECT_EQ(f.Reason, c.Reason) << c.What;
            EXPECT_EQ(f.ServerText, QLatin1String(c.Text)) << c.What;
        }
    }
}

TEST(NetLine, NothingListeningIsRefusedAtOnce)
{
    for (const char *scheme : {"rfc2217", "tcp"}) {
        const QString name = QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(UnusedPort());
        qint64 ms = 0;
        const EComPort e = OpenFails(name, &ms);
        EXPECT_EQ(e.WinCode(), ECONNREFUSED) << scheme;
        EXPECT_LT(ms, 3000) << scheme;
        EXPECT_EQ(DiagnoseOpenFailure(name, e.WinCode()).Reason, TComOpenFailure::ofRefused);
    }
}

TEST(NetLine, SettingsGoToTheServerAndDataPassesBothWays)
{
    TScriptedServer server([](TScriptedServer::TClient &c) {
        c.Agree();
        c.AnswerAll(300);
        c.Send(B({0x1B, 255, 255, 0x00, 255, 255})); // data 1B FF 00 FF, escaped
        c.Pump(2000, [&] { return c.Data.size() >= 3; });
        c.Send(c.Data.toHex()); // what arrived, decoded, as text
        c.Pump(300);
    });
    TComPort port;
    port.SetPort(server.Name());
    port.SetEvents({});
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000); // any 32-bit rate, read back as it was sent
    port.SetStopBits(sbTwoStopBits);
    port.FlowControl().SetControlDTR(dtrEnable); // unanswered: the open still succeeds
    port.Open();
    ASSERT_TRUE(port.Connected());
    ASSERT_TRUE(WaitQueued(port, 4));
    char got[4] = {};
    EXPECT_EQ(port.Read(got, 4), 4);
    EXPECT_EQ(QByteArray(got, 4), B({0x1B, 255, 0, 255}));
    EXPECT_EQ(port.Write("\xFF\x01\xFF", 3), 3);
    ASSERT_TRUE(WaitQueued(port, 6));
    char hex[6] = {};
    EXPECT_EQ(port.Read(hex, 6), 6);
    EXPECT_EQ(QByteArray(hex, 6), QByteArray("ff01ff"));
    // A server without counters of its own still reports modem lines as notices; none came.
    EXPECT_EQ(port.Signals(), TComSignals{});
    port.Close();
}

TEST(NetLine, RawLineHasNoLineControls)
{
    TScriptedServer server([](TScriptedServer::TClient &c) { c.Pump(1000, [&] { return c.Closed; }); });
    TComPort port;
    port.SetPort(server.Name("tcp"));
    port.SetEvents({});
    port.Open();
    // Not a failure of the line: there is nothing to set.
    const EComPort e = ExpectComError([&] { port.SetBreak(true); });
    EXPECT_EQ(e.WinCode(), EOPNOTSUPP);
    EXPECT_TRUE(port.Backend().IsUnsupportedByDevice(e.WinCode()));
    EXPECT_EQ(port.Signals(), TComSignals{});
    EXPECT_EQ(port.LastErrors(), TComErrors{});
    port.Close();
}

} // namespace
