// The tq-sensor-sim program: the port on its first line, answers on it, a clean stop.

#include "tools/Pty.h"

#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

/// Reads until `n` bytes came or a second of silence passed (a hang guard).
QByteArray ReadSome(int fd, int n)
{
    QByteArray got;
    char buf[64];
    while (got.size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0)
            break;
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r <= 0)
            break;
        got.append(buf, r);
    }
    return got;
}

QString Start(QProcess &sim, const QStringList &args)
{
    sim.start(QStringLiteral(TQ_SENSOR_SIM), args);
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000))
        return {};
    return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

TEST(SimulatorProgram, ServesAPseudoTerminalAndStopsCleanly)
{
    QProcess sim;
    const QString path = Start(sim, {QStringLiteral("--garbage"), QStringLiteral("3"),
                                     QStringLiteral("--fragment"), QStringLiteral("2")});
    ASSERT_TRUE(path.startsWith("/dev/pts/")) << path.toStdString();
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    SetRawLine(fd);
    // A split request with junk before it.
    ASSERT_EQ(::write(fd, "\x01\x1b\x04", 3), 3);
    ASSERT_EQ(::write(fd, "\x02\x17", 2), 2);
    const QByteArray reply = ReadSome(fd, 11);
    EXPECT_EQ(reply.mid(3), QByteArray("\x06\x08\x00\x51\x54\x03\x01\x17", 8));
    ::close(fd);
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
}

TEST(SimulatorProgram, ServesAGivenDevice)
{
    TPtyPair line; // the test keeps the master; the simulator serves the slave
    QProcess sim;
    EXPECT_EQ(Start(sim, {QStringLiteral("--nak"), QStringLiteral("1"), line.SlavePath()}), line.SlavePath());
    ASSERT_EQ(::write(line.Master(), "\x1b\x04\x01\x17", 4), 4);
    EXPECT_EQ(ReadSome(line.Master(), 4), QByteArray("\x15\x04\x00\x17", 4));
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 0);
}

TEST(SimulatorProgram, PacedRepliesTakeTheLineTime)
{
    QProcess sim;
    const QString path = Start(sim, {QStringLiteral("--pace")});
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    SetRawLine(fd);
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(::write(fd, "\x1b\x04\x02\x17", 4), 4);
    EXPECT_EQ(ReadSome(fd, 8).size(), 8);
    // 4 request bytes and 8 reply bytes at 1.04 ms each.
    EXPECT_GE(clock.nsecsElapsed(), 12 * 1041666);
    ::close(fd);
    sim.terminate();
    sim.waitForFinished(5000);
}

} // namespace
