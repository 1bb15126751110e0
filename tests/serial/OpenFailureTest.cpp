// Why a port would not open: the errno of a real open, and what the system shows about it.

#include "PtyPair.h"
#include "TestSupport.h"

#include "serial/ComOpenFailure.h"

#include <QTemporaryFile>
#include <csignal>
#include <grp.h>
#include <sys/file.h>
#include <sys/wait.h>

namespace {

int OpenError(const QString &Port)
{
    TComPort port;
    port.SetPort(Port);
    return ExpectComError([&] { port.Open(); }).WinCode();
}

/// Another program holding the device the way this component does (an exclusive lock).
class Holder {
public:
    explicit Holder(const QString &Path)
    {
        int ready[2];
        if (pipe(ready) != 0)
            throw std::runtime_error("no pipe");
        const QByteArray path = Path.toLocal8Bit();
        FPid = fork();
        if (FPid == 0) {
            const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
            if (fd < 0 || flock(fd, LOCK_EX) != 0)
                _exit(1);
            ::close(ready[0]);
            if (::write(ready[1], "x", 1) < 0) {} // a lost byte shows as the other side waiting in vain
            ::close(ready[1]);
            execlp("sleep", "sleep", "60", static_cast<char *>(nullptr));
            _exit(1);
        }
        ::close(ready[1]);
        char c = 0;
        FReady = ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
        // The descriptor shows under /proc once the program has started.
        for (int i = 0; i < 500 && Comm() != "sleep"; ++i)
            usleep(2000);
    }
    ~Holder()
    {
        if (FPid > 0) {
            kill(FPid, SIGKILL);
            waitpid(FPid, nullptr, 0);
        }
    }
    pid_t Pid() const { return FPid; }
    bool Ready() const { return FReady; }

private:
    QByteArray Comm() const
    {
        QFile f(QStringLiteral("/proc/%1/comm").arg(FPid));
        return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
    }
    pid_t FPid = -1;
    bool FReady = false;
};

} // namespace

TEST(OpenFailure, BusyNamesTheProgramThatHoldsTheDevice)
{
    PtyPair pty;
    Holder holder(pty.Slave());
    ASSERT_TRUE(holder.Ready());
    const int err = OpenError(pty.Slave());
    EXPECT_EQ(err, EBUSY);
    const TComOpenFailure f = DiagnoseOpenFailure(pty.Slave(), err);
    EXPECT_EQ(f.Reason, TComOpenFailure::ofBusy);
    EXPECT_EQ(f.DevicePath, pty.Slave());
    EXPECT_TRUE(f.Holders.contains(QStringLiteral("sleep (pid %1)").arg(holder.Pid()))) << qPrintable(f.Holders.join(", "));
}

TEST(OpenFailure, GoneAndNotATerminal)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    const int gone = OpenError(QStringLiteral("tq-no-such-port"));
    EXPECT_EQ(DiagnoseOpenFailure(QStringLiteral("tq-no-such-port"), gone).Reason, TComOpenFailure::ofGone);
    EXPECT_EQ(DiagnoseOpenFailure(QStringLiteral("tq-no-such-port"), gone).DevicePath, "/dev/tq-no-such-port");
    const int plain = OpenError(file.fileName());
    EXPECT_EQ(DiagnoseOpenFailure(file.fileName(), plain).Reason, TComOpenFailure::ofNotTerminal);
    EXPECT_EQ(DiagnoseOpenFailure(file.fileName(), ENXIO).Reason, TComOpenFailure::ofGone);
    EXPECT_EQ(DiagnoseOpenFailure(file.fileName(), EIO).Reason, TComOpenFailure::ofOther);
    EXPECT_TRUE(DiagnoseOpenFailure(file.fileName(), EIO).Holders.isEmpty());
}

TEST(OpenFailure, NoPermissionNamesTheOwningGroupAndWhetherTheUserIsInIt)
{
    const group *dialout = getgrnam("dialout");
    if (!dialout)
        GTEST_SKIP() << "no dialout group on this machine";
    QTemporaryFile device;
    ASSERT_TRUE(device.open());
    ASSERT_EQ(chown(device.fileName().toLocal8Bit().constData(), geteuid(), dialout->gr_gid), 0);
    TComOpenFailure f = DiagnoseOpenFailure(device.fileName(), EACCES);
    EXPECT_EQ(f.Reason, TComOpenFailure::ofNoPermission);
    EXPECT_EQ(f.Group, "dialout");
    EXPECT_FALSE(f.User.isEmpty());
    const bool member = [&] {
        for (char **m = dialout->gr_mem; m && *m; ++m)
            if (f.User == QString::fromLocal8Bit(*m))
                return true;
        return false;
    }();
    EXPECT_EQ(f.UserInGroup, member);

    // The user's own primary group: listed and in the session.
    ASSERT_EQ(chown(device.fileName().toLocal8Bit().constData(), geteuid(), getegid()), 0);
    f = DiagnoseOpenFailure(device.fileName(), EACCES);
    EXPECT_TRUE(f.UserInGroup);
    EXPECT_TRUE(f.SessionInGroup);
}

TEST(OpenFailure, GroupOfThisSessionButNotOfTheUserIsToldApart)
{
    const group *dialout = getgrnam("dialout");
    if (!dialout || geteuid() != 0)
        GTEST_SKIP() << "needs the dialout group and the right to change this process's groups";
    QTemporaryFile device;
    ASSERT_TRUE(device.open());
    ASSERT_EQ(chown(device.fileName().toLocal8Bit().constData(), geteuid(), dialout->gr_gid), 0);
    // A child takes the group for its session only, as a login after usermod would.
    int result[2];
    ASSERT_EQ(pipe(result), 0);
    const gid_t gid = dialout->gr_gid;
    const pid_t child = fork();
    if (child == 0) {
        char answer = 'x';
        if (setgroups(1, &gid) == 0) {
            const TComOpenFailure f = DiagnoseOpenFailure(device.fileName(), EACCES);
            answer = f.SessionInGroup ? (f.Group == "dialout" ? 'y' : 'g') : 'n';
        }
        if (::write(result[1], &answer, 1) < 0) {} // a lost byte shows as the other side waiting in vain
        _exit(0);
    }
    ::close(result[1]);
    char answer = 0;
    EXPECT_EQ(::read(result[0], &answer, 1), 1);
    ::close(result[0]);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(answer, 'y');
    EXPECT_FALSE(DiagnoseOpenFailure(device.fileName(), EACCES).SessionInGroup);
}
