// Modem lines and line errors, on a pseudo-terminal and on a device double.

#include "FakeBackend.h"
#include "PtyPair.h"
#include "TestSupport.h"

#include <cerrno>

TEST(ComLines, PseudoTerminalHasNoModemLines)
{
    PtyPair pty;
    TComPort port;
    port.SetPort(pty.Slave());
    port.FlowControl().SetControlDTR(dtrEnable); // applying levels must not fail here
    port.FlowControl().SetControlRTS(rtsEnable);
    port.Open();
    EXPECT_TRUE(port.Signals().Empty());
    EXPECT_EQ(ExpectComError([&] { port.SetDTR(true); }).Code(), 12);
    EXPECT_EQ(ExpectComError([&] { port.SetRTS(false); }).Code(), 12);
    port.Timeouts().SetWriteTotalM(0);
    port.Timeouts().SetWriteTotalC(100);
    port.SetXonXoff(false); // output suspended: a pseudo-terminal takes nothing meanwhile
    EXPECT_EQ(port.Write("held", 4), 0);
    port.SetXonXoff(true); // ... and resumed
    EXPECT_EQ(port.Write("go", 2), 2);
    EXPECT_EQ(pty.Receive(), "go");
}

TEST(ComLines, ClosedPortReportsEachOperationsCode)
{
    TComPort port;
    const std::pair<std::function<void()>, int> cases[] = {
        {[&] { port.Signals(); }, 11},        {[&] { port.LastErrors(); }, 10},
        {[&] { port.StateFlags(); }, 10},     {[&] { port.InputCount(); }, 10},
        {[&] { port.OutputCount(); }, 10},    {[&] { port.SetBreak(true); }, 12},
        {[&] { port.SetXonXoff(true); }, 12}, {[&] { port.TransmitChar(QChar('a')); }, 13},
        {[&] { port.ClearBuffer(false, false); }, 5}, {[&] { port.AbortAllAsync(); }, 5},
    };
    for (const auto &[action, code] : cases) {
        EComPort e = ExpectComError(action);
        EXPECT_EQ(e.Code(), code);
        EXPECT_EQ(e.WinCode(), EBADF) << code;
    }
}

TEST(ComLines, ErrorsAreReadAndCleared)
{
    auto fake = std::make_shared<FakeBackend>();
    fake->Counts.Frame = 7; // from before the open: not ours
    TComPort port;
    ASSERT_TRUE(port.SetBackend(fake));
    port.Open();
    ASSERT_TRUE(port.Connected());
    EXPECT_TRUE(port.LastErrors().Empty());

    fake->Counts.Frame = 8;
    fake->Counts.Parity = 1;
    fake->Counts.Break = 2;
    fake->Counts.BufferOverrun = 1;
    EXPECT_EQ(port.LastErrors(), TComErrors({ceFrame, ceBreak, ceRxOver})); // parity unchecked
    EXPECT_TRUE(port.LastErrors().Empty());

    port.Parity().SetCheck(true);
    fake->Counts.Parity = 2;
    fake->Counts.Overrun = 1;
    EXPECT_EQ(port.LastErrors(), TComErrors({ceRxParity, ceOverrun}));

    // Asking for the queue takes the pending errors with it.
    fake->Counts.Frame = 9;
    fake->Queued = 5;
    EXPECT_EQ(port.InputCount(), 5);
    EXPECT_TRUE(port.LastErrors().Empty());

    // A finished read takes them only while an OnError handler could hear them; otherwise
    // they wait for LastErrors.
    fake->Counts.Frame = 10;
    char byte = 0;
    EXPECT_EQ(port.Read(&byte, 1), 0);
    EXPECT_EQ(port.LastErrors(), TComErrors({ceFrame}));
    port.OnError = [](QObject *, TComErrors) {};
    fake->Counts.Frame = 11;
    EXPECT_EQ(port.Read(&byte, 1), 0);
    EXPECT_TRUE(port.LastErrors().Empty());

    // Counters that fail are an error; a driver without them reports none and is not asked
    // again until the port opens anew.
    fake->CountsError = EIO;
    EXPECT_EQ(ExpectComError([&] { port.LastErrors(); }).WinCode(), EIO);
    fake->CountsError = ENOTTY;
    EXPECT_TRUE(port.LastErrors().Empty());
    const int asked = fake->ErrorCountCalls;
    fake->CountsError = EIO;
    EXPECT_TRUE(port.LastErrors().Empty());
    EXPECT_EQ(port.Read(&byte, 1), 0);
    EXPECT_EQ(port.InputCount(), 5);
    EXPECT_EQ(fake->ErrorCountCalls, asked);
    port.Close();
    port.Open();
    EXPECT_EQ(ExpectComError([&] { port.LastErrors(); }).WinCode(), EIO);
    EXPECT_FALSE(port.SetBackend(std::make_shared<FakeBackend>())); // not while open
}

// A finished read asks the driver only for what someone hears: the queue for links (the
// receive-idle report), the error counters for an OnError handler.
TEST(ComLines, AFinishedReadAsksOnlyWhatIsHeard)
{
    TComLink link;
    const struct {
        const char *Name;
        std::function<void(TComPort &)> Listen;
        int InputCounts, ErrorCounts;
    } cases[] = {
        {"nobody", [](TComPort &) {}, 0, 0},
        {"a link", [&](TComPort &p) { p.RegisterLink(&link); }, 1, 1},
        {"OnError", [](TComPort &p) { p.OnError = [](QObject *, TComErrors) {}; }, 0, 1},
        {"OnError, no error events", [](TComPort &p) {
             p.OnError = [](QObject *, TComErrors) {};
             p.SetEvents({evRxChar});
         }, 0, 0},
    };
    for (const auto &c : cases) {
        auto fake = std::make_shared<FakeBackend>();
        TComPort port;
        port.SetBackend(fake);
        port.Open();
        c.Listen(port);
        const int inputs = fake->InputCountCalls, errors = fake->ErrorCountCalls;
        char byte = 0;
        port.Read(&byte, 1);
        EXPECT_EQ(fake->InputCountCalls - inputs, c.InputCounts) << c.Name;
        EXPECT_EQ(fake->ErrorCountCalls - errors, c.ErrorCounts) << c.Name;
        port.Close();
        if (c.InputCounts)
            port.UnRegisterLink(&link);
    }
}

TEST(ComLines, OutputHeldByCtsShowsInTheStateFlags)
{
    auto fake = std::make_shared<FakeBackend>();
    TComPort port;
    port.SetEvents({});
    ASSERT_TRUE(port.SetBackend(fake));
    port.Open();
    fake->OutQueued = 3;
    EXPECT_TRUE(port.StateFlags().Empty()); // no CTS flow: nothing holds the output
    port.FlowControl().SetOutCTSFlow(true);
    EXPECT_EQ(port.StateFlags(), TComStateFlags{fCtlHold});
    fake->Lines = TComSignals{csCTS};
    EXPECT_TRUE(port.StateFlags().Empty());
    fake->Lines = {};
    fake->OutQueued = 0;
    EXPECT_TRUE(port.StateFlags().Empty()); // nothing waits
    port.FlowControl().SetOutCTSFlow(false);
    port.FlowControl().SetControlRTS(rtsHandshake); // the other way to ask for CTS flow
    fake->OutQueued = 1;
    EXPECT_EQ(port.StateFlags(), TComStateFlags{fCtlHold});
}

TEST(ComLines, SignalsAndSettingsOnADeviceWithLines)
{
    auto fake = std::make_shared<FakeBackend>();
    TComPort port;
    port.SetBackend(fake);
    port.FlowControl().SetControlDTR(dtrEnable);
    port.FlowControl().SetOutCTSFlow(true);
    port.Open();
    EXPECT_EQ(fake->Applies, 1);
    EXPECT_EQ(fake->Applied.Dtr, 1);
    EXPECT_EQ(fake->Applied.Rts, 0);
    EXPECT_TRUE(fake->Applied.RtsCtsFlow);
    fake->Lines = {csCTS, csRLSD};
    EXPECT_EQ(port.Signals(), TComSignals({csCTS, csRLSD}));
    fake->LinesError = EIO;
    EXPECT_EQ(ExpectComError([&] { port.Signals(); }).Code(), 11);
    port.FlowControl().SetFlowControl(fcCustom); // re-applies even though nothing changed
    EXPECT_EQ(fake->Applies, 2);
}
