// Line settings reach the kernel tty; setter, batch and summary rules.

#include "FakeBackend.h"
#include "PtyPair.h"
#include "TestSupport.h"

#include "serial/ComConvert.h"
#include "serial/unix/Termios2Rate.h"
#include "serial/unix/UnixTermios.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <thread>

namespace {
struct OpenPort {
    PtyPair Pty;
    TComPort Port;
    OpenPort()
    {
        Port.SetPort(Pty.Slave());
        Port.Open();
    }
    unsigned Rate() const
    {
        unsigned out = 0, in = 0;
        EXPECT_EQ(Termios2GetRate(Pty.Master(), out, in), 0);
        EXPECT_EQ(out, in);
        return out;
    }
};
} // namespace

TEST(ComSettings, NewPortIsRawEightNoneOne)
{
    OpenPort p;
    const termios t = p.Pty.Settings();
    EXPECT_EQ(p.Rate(), 9600u);
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK | ICRNL), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

TEST(ComSettings, EveryRateIncludingOnesWithoutConstants)
{
    OpenPort p;
    for (int r = br110; r <= br256000; ++r) {
        p.Port.SetBaudRate(TBaudRate(r));
        EXPECT_EQ(int(p.Rate()), BaudRateValue(TBaudRate(r), 0)) << r;
    }
    p.Port.SetCustomBaudRate(250000); // stored, the named rate stays in force
    EXPECT_EQ(p.Rate(), 256000u);
    p.Port.SetBaudRate(brCustom);
    EXPECT_EQ(p.Rate(), 250000u);
    p.Port.SetBaudRate(br9600);
    EXPECT_EQ(p.Rate(), 9600u);
}

TEST(ComSettings, RefusedRateIsCode7AndTheValueStaysStored)
{
    OpenPort p;
    p.Port.SetBaudRate(brCustom);
    EComPort e = ExpectComError([&] { p.Port.SetCustomBaudRate(0); });
    EXPECT_EQ(e.Code(), 7);
    EXPECT_EQ(e.WinCode(), EINVAL);
    EXPECT_EQ(p.Port.CustomBaudRate(), 0);
    EXPECT_EQ(p.Rate(), 9600u); // the device keeps its earlier rate
}

TEST(ComSettings, DataBitsAndParityMapOntoTermios)
{
    // A pseudo-terminal forces 8 bits without parity whatever it is given, so the mapping
    // itself is checked here and the rest through the far end below.
    TLineSettings s;
    const std::pair<int, tcflag_t> sizes[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};
    for (auto [bits, flag] : sizes) {
        termios t{};
        t.c_cflag = CS8 | PARENB;
        s.DataBits = bits;
        MakeRawTermios(t, s);
        EXPECT_EQ(t.c_cflag & CSIZE, flag);
        EXPECT_FALSE(t.c_cflag & PARENB);
    }
    const std::pair<TParityBits, tcflag_t> parities[] = {
        {prOdd, PARENB | PARODD}, {prEven, PARENB}, {prMark, PARENB | PARODD | CMSPAR},
        {prSpace, PARENB | CMSPAR}, {prNone, 0}};
    for (auto [parity, flags] : parities) {
        termios t{};
        s.Parity = parity;
        MakeRawTermios(t, s);
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), flags) << parity;
    }
    termios t{};
    s.BaudRate = 14400;
    EXPECT_EQ(MakeRawTermios(t, s), speed_t(B0)); // no constant: termios2 sets it
    s.BaudRate = 115200;
    EXPECT_EQ(MakeRawTermios(t, s), speed_t(B115200));
}

TEST(ComSettings, StopBitsCheckingAndFlowControlReachTheTty)
{
    OpenPort p;
    p.Port.SetDataBits(dbSeven);
    p.Port.Parity().SetBits(prMark);
    p.Port.Parity().SetCheck(true);
    EXPECT_TRUE(p.Pty.Settings().c_iflag & INPCK);
    for (auto [stop, set] : {std::pair{sbOne5StopBits, true}, std::pair{sbTwoStopBits, true},
                             std::pair{sbOneStopBit, false}}) {
        p.Port.SetStopBits(stop);
        EXPECT_EQ((p.Pty.Settings().c_cflag & CSTOPB) != 0, set);
    }

    p.Port.FlowControl().SetFlowControl(fcHardware);
    EXPECT_TRUE(p.Pty.Settings().c_cflag & CRTSCTS);
    p.Port.FlowControl().SetXonChar(QChar(0x11 + 0x100)); // only the low 8 bits reach the device
    p.Port.FlowControl().SetXoffChar(QChar(0x05));
    p.Port.FlowControl().SetFlowControl(fcSoftware);
    termios t = p.Pty.Settings();
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_iflag & IXON);
    EXPECT_TRUE(t.c_iflag & IXOFF);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x05);
}

TEST(ComSettings, EveryLineSettingReachesTheDevice)
{
    // A pseudo-terminal forces 8 bits without parity, so what the port hands the device
    // layer is checked on a double.
    auto fake = std::make_shared<FakeBackend>();
    TComPort port;
    port.SetEvents({});
    ASSERT_TRUE(port.SetBackend(fake));
    port.Open();
    for (TDataBits bits : {dbFive, dbSix, dbSeven, dbEight}) {
        port.SetDataBits(bits);
        EXPECT_EQ(fake->Applied.DataBits, 5 + int(bits));
    }
    for (TParityBits parity : {prOdd, prEven, prMark, prSpace, prNone}) {
        port.Parity().SetBits(parity);
        EXPECT_EQ(fake->Applied.Parity, parity);
    }
    for (auto [stop, two] : {std::pair{sbTwoStopBits, true}, std::pair{sbOne5StopBits, true},
                             std::pair{sbOneStopBit, false}}) {
        port.SetStopBits(stop);
        EXPECT_EQ(fake->Applied.TwoStopBits, two);
    }
    port.Parity().SetCheck(true);
    port.Parity().SetReplace(true);
    port.Parity().SetReplaceChar(QChar(0x13F)); // the low 8 bits
    EXPECT_TRUE(fake->Applied.ParityCheck);
    EXPECT_TRUE(fake->Applied.ParityReplace);
    EXPECT_EQ(fake->Applied.ReplaceChar, 0x3F);

    // Settings without a terminal equivalent still apply, and change nothing on the line
    // but what they stand closest to: a DTR handshake holds DTR active, RTS toggle low.
    port.FlowControl().SetControlDTR(dtrDisable);
    port.FlowControl().SetControlRTS(rtsEnable);
    const TLineSettings before = fake->Applied;
    const int applies = fake->Applies;
    port.FlowControl().SetOutDSRFlow(true);
    port.FlowControl().SetDSRSensitivity(true);
    port.SetDiscardNull(true);
    EXPECT_EQ(fake->Applies, applies + 3);
    EXPECT_EQ(fake->Applied, before);
    port.FlowControl().SetControlDTR(dtrHandshake);
    EXPECT_EQ(fake->Applied.Dtr, 1);
    port.FlowControl().SetControlRTS(rtsToggle);
    EXPECT_EQ(fake->Applied.Rts, 0);
}

TEST(ComSettings, CustomRatesNeverPassThroughAStandIn)
{
    OpenPort p;
    p.Port.SetBaudRate(brCustom);
    std::atomic<bool> done{false};
    std::atomic<int> seen38400{0}, looks{0};
    std::thread watch([&] {
        while (!done.load()) {
            unsigned out = 0, in = 0;
            if (Termios2GetRate(p.Pty.Master(), out, in) == 0 && out == 38400)
                ++seen38400;
            ++looks;
        }
    });
    for (int i = 0; i < 3000; ++i)
        p.Port.SetCustomBaudRate(i % 2 ? 250000 : 31250);
    done = true;
    watch.join();
    EXPECT_GT(looks.load(), 100);
    EXPECT_EQ(seen38400.load(), 0);
    EXPECT_EQ(p.Rate(), 250000u);
}

TEST(ComSettings, WhatTheDeviceDidNotTakeIsAnError)
{
    TLineSettings asked;
    asked.DataBits = 7;
    asked.Parity = prEven;
    asked.BaudRate = 250000;
    const unsigned sevenEven = CS7 | PARENB;
    EXPECT_EQ(CheckTaken(asked, sevenEven, 250000, false), 0);
    EXPECT_EQ(CheckTaken(asked, CS8, 250000, false), EINVAL);           // bits and parity dropped
    EXPECT_EQ(CheckTaken(asked, CS7, 250000, false), EINVAL);           // parity dropped
    EXPECT_EQ(CheckTaken(asked, CS8 | PARENB, 250000, false), EINVAL);  // bits dropped
    EXPECT_EQ(CheckTaken(asked, CS7 | PARENB | PARODD, 250000, false), EINVAL);
    EXPECT_EQ(CheckTaken(asked, CS8, 250000, true), 0); // no framing to hold against it
    EXPECT_EQ(CheckTaken(asked, sevenEven | CSTOPB, 250000, true), EINVAL); // stop bits count
    asked.TwoStopBits = true;
    EXPECT_EQ(CheckTaken(asked, sevenEven, 250000, false), EINVAL);
    EXPECT_EQ(CheckTaken(asked, sevenEven | CSTOPB, 250000, false), 0);
    // A rounded rate passes within what a UART tolerates, not beyond.
    EXPECT_EQ(CheckTaken(asked, sevenEven | CSTOPB, 256000, false), 0);
    EXPECT_EQ(CheckTaken(asked, sevenEven | CSTOPB, 230400, false), EINVAL);
    EXPECT_EQ(CheckTaken(asked, sevenEven | CSTOPB, 0, false), EINVAL);

    // The exemption goes by the driver: a pseudo-terminal has it, other devices do not.
    PtyPair pty;
    const int slave = ::open(pty.Slave().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    EXPECT_TRUE(IsPseudoTerminal(slave));
    EXPECT_FALSE(IsPseudoTerminal(pty.Master())); // the multiplexer is served by another
    // Held to the rules of a real UART, a pseudo-terminal fails: it drops bits and parity.
    asked.TwoStopBits = false;
    asked.BaudRate = 19200;
    EXPECT_EQ(ApplyLineSettings(slave, asked, false), EINVAL);
    EXPECT_EQ(ApplyLineSettings(slave, asked, true), 0);
    asked.DataBits = 8;
    asked.Parity = prNone;
    EXPECT_EQ(ApplyLineSettings(slave, asked, false), 0);
    ::close(slave);
    const int null = ::open("/dev/null", O_RDWR);
    EXPECT_FALSE(IsPseudoTerminal(null));
    ::close(null);

    // So on a pseudo-terminal 7 data bits with mark parity are no failure.
    OpenPort p;
    p.Port.SetDataBits(dbSeven);
    p.Port.Parity().SetBits(prMark);
    EXPECT_EQ(p.Pty.Settings().c_cflag & CSIZE, tcflag_t(CS8));
}

TEST(ComSettings, ClosedPortAndBatchesApplyLater)
{
    PtyPair pty;
    TComPort port;
    port.SetPort(pty.Slave());
    port.SetBaudRate(br19200); // closed: stored only
    port.SetStopBits(sbTwoStopBits);
    port.Open();
    unsigned out = 0, in = 0;
    Termios2GetRate(pty.Master(), out, in);
    EXPECT_EQ(out, 19200u);
    EXPECT_TRUE(pty.Settings().c_cflag & CSTOPB);

    port.EndUpdate(); // unmatched: nothing
    port.BeginUpdate();
    port.BeginUpdate();
    port.SetBaudRate(br57600);
    port.Parity().SetCheck(true);
    port.EndUpdate();
    Termios2GetRate(pty.Master(), out, in);
    EXPECT_EQ(out, 19200u);
    EXPECT_FALSE(pty.Settings().c_iflag & INPCK);
    port.EndUpdate();
    Termios2GetRate(pty.Master(), out, in);
    EXPECT_EQ(out, 57600u);
    EXPECT_TRUE(pty.Settings().c_iflag & INPCK);
}

TEST(ComSettings, FailedApplyDuringOpenLeavesThePortClosed)
{
    PtyPair pty;
    TComPort port;
    port.SetPort(pty.Slave());
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(-5);
    bool afterOpen = false;
    port.OnAfterOpen = [&](QObject *) { afterOpen = true; };
    EXPECT_EQ(ExpectComError([&] { port.Open(); }).Code(), 7);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), -1);
    EXPECT_FALSE(afterOpen);
    port.SetCustomBaudRate(250000);
    port.Open(); // the device was released
    EXPECT_TRUE(port.Connected());
}

TEST(ComSettings, PropertiesLockedWhileOpen)
{
    struct LinkedPort : TComPort {
        void SetHasLink(bool Value) { FHasLink = Value; }
    };
    OpenPort p;
    EComPort e = ExpectComError([&] { p.Port.SetSyncMethod(smNone); });
    EXPECT_EQ(e.Code(), 14);
    EXPECT_EQ(e.WinCode(), -1);
    EXPECT_EQ(p.Port.SyncMethod(), smThreadSync);
    p.Port.SetSyncMethod(smThreadSync); // unchanged value: no report
    EXPECT_EQ(ExpectComError([&] { p.Port.SetEventThreadPriority(tpHigher); }).Code(), 14);
    p.Port.Close();
    p.Port.SetSyncMethod(smNone);
    EXPECT_EQ(p.Port.SyncMethod(), smNone);

    LinkedPort linked;
    linked.SetTriggersOnRxChar(false);
    linked.SetHasLink(true);
    EXPECT_FALSE(linked.TriggersOnRxChar());
    int reported = 0;
    linked.OnException = [&](QObject *, TComExceptions Kind, const QString &, qint64, const QString &) {
        EXPECT_EQ(Kind, CE_HasLink);
        ++reported;
    };
    linked.SetTriggersOnRxChar(true);
    EXPECT_EQ(reported, 1);
    EXPECT_FALSE(linked.TriggersOnRxChar()); // stored, but a link takes the data
    linked.SetHasLink(false);
    EXPECT_TRUE(linked.TriggersOnRxChar());
}

TEST(ComSettings, FlowControlSummaryAndQueueSizes)
{
    TComPort port;
    TComFlowControl &f = port.FlowControl();
    EXPECT_EQ(f.GetFlowControl(), fcNone);
    f.SetFlowControl(fcHardware);
    EXPECT_EQ(f.GetFlowControl(), fcHardware);
    EXPECT_EQ(f.ControlRTS(), rtsHandshake);
    f.SetFlowControl(fcCustom); // changes nothing
    EXPECT_EQ(f.GetFlowControl(), fcHardware);
    f.SetXonXoffIn(true);
    EXPECT_EQ(f.GetFlowControl(), fcCustom);
    f.SetFlowControl(fcSoftware);
    EXPECT_EQ(f.GetFlowControl(), fcSoftware);
    EXPECT_FALSE(f.OutCTSFlow());
    f.SetFlowControl(fcNone);
    f.SetControlRTS(rtsEnable);
    EXPECT_EQ(f.GetFlowControl(), fcCustom);
    f.SetControlDTR(dtrEnable); // not part of the summary
    f.SetControlRTS(rtsDisable);
    EXPECT_EQ(f.GetFlowControl(), fcNone);

    TComBuffer &b = port.Buffer();
    b.SetInputSize(1025);
    EXPECT_EQ(b.InputSize(), 1024);
    b.SetInputSize(1023);
    EXPECT_EQ(b.InputSize(), 1022);
    b.SetOutputSize(-3);
    EXPECT_EQ(b.OutputSize(), -3);

    TComBuffer copy;
    copy.SetInputSize(64);
    port.SetBuffer(copy);
    EXPECT_EQ(port.Buffer().InputSize(), 64);
    EXPECT_EQ(port.Buffer().ComPort(), &port); // the copy keeps the port's own back reference
}
