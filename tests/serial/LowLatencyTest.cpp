// Low-latency mode: asked for at open, put back at close, passed over where the driver has none.

#include "PtyPair.h"
#include "TestSupport.h"

#include "serial/unix/UnixLowLatency.h"

#include <fcntl.h>

namespace {

/// A driver's serial flags, kept per test rather than per device; every call is logged.
class FakeSerialFlags : public TSerialFlagsAccess {
public:
    bool LowLatency = false;
    int GetError = 0; ///< errno of a driver without serial flags
    int SetError = 0; ///< errno of a driver that refuses the change
    QStringList *Log = nullptr;

    int GetLowLatency(int Fd, bool &On) override
    {
        Note(Fd, "get");
        On = LowLatency;
        return GetError;
    }
    int SetLowLatency(int Fd, bool On) override
    {
        Note(Fd, On ? "on" : "off");
        if (SetError == 0)
            LowLatency = On;
        return SetError;
    }

private:
    void Note(int Fd, const char *What)
    {
        // The driver is reachable only through an open terminal descriptor.
        const bool open = fcntl(Fd, F_GETFD) >= 0 && isatty(Fd);
        if (Log)
            *Log << QString::fromLatin1(What) + (open ? "" : " (closed descriptor)");
    }
};

struct LoggedPort {
    PtyPair pty;
    std::shared_ptr<FakeSerialFlags> flags = std::make_shared<FakeSerialFlags>();
    TComPort port;
    QStringList log;

    LoggedPort()
    {
        flags->Log = &log;
        port.SetBackend(CreateUnixComBackend(flags));
        port.SetPort(pty.Slave());
        port.OnAfterOpen = [this](QObject *) { log << "after-open"; };
        port.OnBeforeClose = [this](QObject *) { log << "before-close"; };
        port.OnAfterClose = [this](QObject *) { log << "after-close"; };
    }
};

} // namespace

TEST(LowLatency, SwitchedOnAtOpenAndBackOffBeforeTheDeviceCloses)
{
    LoggedPort p;
    p.port.Open();
    EXPECT_TRUE(p.flags->LowLatency);
    p.port.Close();
    EXPECT_FALSE(p.flags->LowLatency);
    EXPECT_EQ(p.log, QStringList({"get", "on", "after-open", "before-close", "off", "after-close"}));
}

TEST(LowLatency, AlreadyOnStaysOnAndRefusalsAreSilent)
{
    struct Case {
        const char *Name;
        bool Before;
        int GetError, SetError;
        QStringList Expected;
    };
    const Case cases[] = {
        {"already on", true, 0, 0, {"get", "after-open", "before-close", "after-close"}},
        {"no serial flags", false, ENOTTY, 0, {"get", "after-open", "before-close", "after-close"}},
        {"change refused", false, 0, EPERM, {"get", "on", "after-open", "before-close", "after-close"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        LoggedPort p;
        p.flags->LowLatency = c.Before;
        p.flags->GetError = c.GetError;
        p.flags->SetError = c.SetError;
        p.port.Open();
        EXPECT_TRUE(p.port.Connected());
        p.port.Write("x", 1);
        EXPECT_EQ(p.pty.Receive(), "x");
        p.port.Close();
        EXPECT_EQ(p.flags->LowLatency, c.Before);
        EXPECT_EQ(p.log, c.Expected);
    }
}

TEST(LowLatency, ThousandCyclesLeaveTheFlagAsItWas)
{
    for (bool before : {false, true}) {
        LoggedPort p;
        p.flags->LowLatency = before;
        for (int i = 0; i < 1000; ++i) {
            p.port.Open();
            ASSERT_TRUE(p.flags->LowLatency);
            p.port.Close();
            ASSERT_EQ(p.flags->LowLatency, before);
        }
        EXPECT_EQ(p.log.count("on"), before ? 0 : 1000);
        EXPECT_EQ(p.log.count("off"), before ? 0 : 1000);
    }
}

TEST(LowLatency, PseudoTerminalHasNoneAndOpensAllTheSame)
{
    PtyPair pty;
    const int fd = ::open(pty.Slave().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    bool on = true;
    EXPECT_NE(SystemSerialFlags()->GetLowLatency(fd, on), 0);
    EXPECT_NE(SystemSerialFlags()->SetLowLatency(fd, true), 0);
    ::close(fd);

    TComPort port; // the system's own backend and driver access
    port.SetPort(pty.Slave());
    for (int i = 0; i < 1000; ++i) {
        port.Open();
        ASSERT_TRUE(port.Connected());
        port.Close();
    }
    port.Open();
    port.Write("y", 1);
    EXPECT_EQ(pty.Receive(), "y");
}
