// Events of a line behind an RFC 2217 server: its notices reach the port's handlers in every
// delivery mode, and input the device layer holds wakes the port's input watch.

#include "ScriptedServer.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <atomic>
#include <gtest/gtest.h>

namespace {

TEST(NetEvents, ServerNoticesReachTheHandlersInEveryMode)
{
    for (TSyncMethod mode : {smThreadSync, smWindowSync, smNone}) {
        std::atomic<bool> done{false};
        TScriptedServer server([&](TScriptedServer::TClient &c) {
            c.Agree();
            c.AnswerAll(300);
            c.Answer(7, QByteArray(1, char(16 | 1))); // CTS on, changed
            c.Answer(6, QByteArray(1, char(8)));      // a framing error
            c.Send("\xFF\xFF"); // one data byte 255
            while (!done)
                c.Pump(20);
        });
        TComPort port;
        port.SetPort(server.Name());
        port.SetSyncMethod(mode);
        std::atomic<int> cts{0}, errors{0}, rx{0};
        port.OnCTSChange = [&](QObject *, bool on) { cts += on ? 1 : 0; };
        port.OnError = [&](QObject *, TComErrors e) { errors += e.Contains(ceFrame) ? 1 : 0; };
        port.OnRxChar = [&](QObject *, int n) { rx += n; };
        port.Open();
        EXPECT_TRUE(PumpUntil([&] { return cts >= 1 && errors >= 1 && rx >= 1; })) << int(mode);
        EXPECT_TRUE(port.Signals().Contains(csCTS)) << int(mode);
        done = true;
        port.Close();
    }
}

TEST(NetEvents, InputHeldByTheDeviceLayerWakesTheWatch)
{
    std::atomic<bool> done{false};
    TScriptedServer server([&](TScriptedServer::TClient &c) {
        c.Agree();
        c.AnswerAll(300);
        c.Send("x");
        while (!done)
            c.Pump(20);
    });
    TComPort port;
    port.SetPort(server.Name());
    port.SetEvents({});
    port.Open();
    // Counting takes the byte off the socket: from now on only the layer's buffer holds it.
    ASSERT_TRUE(WaitQueued(port, 1));
    int woken = 0;
    QObject::connect(&port, &TCustomComPort::InputAvailable, [&] { ++woken; });
    port.WatchInput(true);
    EXPECT_TRUE(PumpUntil([&] { return woken > 0; }));
    char c = 0;
    EXPECT_EQ(port.Read(&c, 1), 1);
    port.WatchInput(false);
    done = true;
    port.Close();
}

} // namespace
