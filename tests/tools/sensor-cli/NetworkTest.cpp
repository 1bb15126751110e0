// tq-sensor through a real ser2net on 127.0.0.1: the same requests and values as on the
// device itself, line settings that reach the far side, and servers that fail mid-command.
#include "CliRun.h"
#include "Ser2net.h"

#include "serial/ComPort.h"
#include "tools/SimulatedSensor.h"
#include "tools/sensor-cli/ExitCodes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>

namespace {

struct Network : ::testing::Test {
    void SetUp() override
    {
        if (!TSer2net::Available())
            GTEST_SKIP() << "ser2net is not installed (scripts/deps.sh installs it)";
    }
};

/// What a run printed with the port's name taken out, so that routes compare. A calibration's
/// result differs from run to run: only its status counts.
std::string Printed(const TCliRun &run, const QString &port, bool calibration)
{
    const QString out = QString(run.Out).replace(port, QStringLiteral("PORT"));
    return (calibration ? out.section(QLatin1Char(' '), 0, 1) : out).toStdString();
}

TEST_F(Network, BothSchemesSendAndGetWhatTheDeviceItselfDoes)
{
    TSimulatedSensor sensor;
    TSer2net server({sensor.Path()});
    // 65535 puts bytes 255 into the replies that follow.
    const QList<QStringList> commands = {
        {QStringLiteral("write"), QStringLiteral("--set"), QStringLiteral("work_inertia=65535"), QStringLiteral("--set"),
         QStringLiteral("input_filter=255")},
        {QStringLiteral("read")},
        {QStringLiteral("calibrate"), QStringLiteral("on"), QStringLiteral("--time"), QStringLiteral("200")},
    };
    for (const QStringList &command : commands) {
        QList<QByteArray> direct;
        std::string directOut;
        const bool calibration = command.first() == QLatin1String("calibrate");
        for (const QString &port : {sensor.Path(), server.Rfc2217(), server.Tcp()}) {
            const qsizetype before = sensor.Sensor().Requests().size();
            QThread::msleep(200); // ser2net lets go of the device a moment after a client left
            QStringList args = command;
            args.insert(calibration ? 2 : 1, port);
            const TCliRun run = RunCli(args);
            ASSERT_EQ(run.Code, ExitOk) << port.toStdString() << ": " << run.Out.toStdString() << run.Err.toStdString();
            const QList<QByteArray> requests = sensor.Sensor().Requests().mid(before);
            if (port == sensor.Path()) {
                direct = requests;
                directOut = Printed(run, port, calibration);
                continue;
            }
            EXPECT_EQ(requests, direct) << port.toStdString();
            EXPECT_EQ(Printed(run, port, calibration), directOut) << port.toStdString();
        }
    }
    // The name passes unchanged into --json and --trace.
    QThread::msleep(200);
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));
    const TCliRun json = RunCli({QStringLiteral("read"), server.Rfc2217(), QStringLiteral("--json"), QStringLiteral("--trace"), trace});
    EXPECT_TRUE(json.Out.contains(QStringLiteral("\"port\": \"%1\"").arg(server.Rfc2217()))) << json.Out.toStdString();
    EXPECT_TRUE(json.Out.contains(QLatin1String("\"work_inertia\": 65535"))) << json.Out.toStdString();
    QFile traced(trace);
    ASSERT_TRUE(traced.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(traced.readAll()).contains(server.Rfc2217() + QStringLiteral(" < ")));
}

TEST_F(Network, LineSettingsReachThePseudoTerminalWhileConnected)
{
    TSimulatedSensor sensor;
    TSer2net server({sensor.Path()});
    TComPort port;
    port.SetPort(server.Rfc2217());
    port.SetEvents({});
    port.SetBaudRate(br19200);
    port.SetStopBits(sbTwoStopBits);
    port.Open();
    auto line = [&] {
        termios t{};
        const int fd = ::open(sensor.Path().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        tcgetattr(fd, &t);
        ::close(fd);
        return t;
    };
    termios t = line();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    port.SetBaudRate(br38400); // on an open port: at once
    t = line();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B38400));
    port.Close();
}

TEST_F(Network, ServerKilledOrFrozenMidCommandEndsTheCommand)
{
    struct Case {
        const char *What;
        int Signal;
        const char *Status;
        qint64 WithinMs; // after the signal
    } cases[] = {
        {"killed", SIGKILL, "error", 2000},
        {"frozen", SIGSTOP, "command failed", 5000}, // the calibration's own time-out: 3 s plus one period
    };
    for (const Case &c : cases) {
        TSimulatedSensor sensor;
        TSer2net server({sensor.Path()});
        QProcess tool;
        tool.start(QStringLiteral(TQ_SENSOR), {QStringLiteral("calibrate"), QStringLiteral("on"), server.Rfc2217(),
                                               QStringLiteral("--time"), QStringLiteral("3000")});
        QElapsedTimer t;
        t.start();
        // Mid-command: the calibration has been asked for and its wait is running.
        while (sensor.Sensor().Requests().size() < 7 && t.elapsed() < 5000)
            QThread::msleep(5);
        ASSERT_GE(sensor.Sensor().Requests().size(), 7) << c.What;
        server.Signal(c.Signal);
        QElapsedTimer since;
        since.start();
        ASSERT_TRUE(tool.waitForFinished(10000)) << c.What;
        EXPECT_LT(since.elapsed(), c.WithinMs) << c.What;
        EXPECT_EQ(tool.exitCode(), ExitCommand) << c.What;
        const QString out = QString::fromUtf8(tool.readAllStandardOutput());
        EXPECT_TRUE(out.contains(server.Rfc2217() + QStringLiteral(": ") + QLatin1String(c.Status))) << c.What << out.toStdString();
    }
}

TEST_F(Network, RefusedAndBusyServersSayWhy)
{
    TSimulatedSensor sensor;
    TSer2net server({sensor.Path()});
    TComPort holder; // holds the server's line
    holder.SetPort(server.Rfc2217());
    holder.SetEvents({});
    holder.Open();
    QElapsedTimer t;
    t.start();
    const QString nobody = QStringLiteral("tcp://127.0.0.1:%1").arg(UnusedPort());
    const TCliRun run = RunCli({QStringLiteral("find"), server.Rfc2217(), nobody});
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(run.Code, ExitNoSensor);
    EXPECT_TRUE(run.Out.contains(server.Rfc2217() + QStringLiteral(": busy (Port already in use)"))) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(nobody + QStringLiteral(": refused"))) << run.Out.toStdString();
    holder.Close();
    // Two schemes to one address are two ports, not one given twice.
    const QString free = QStringLiteral("127.0.0.1:%1").arg(UnusedPort());
    const TCliRun both = RunCli({QStringLiteral("find"), QStringLiteral("rfc2217://") + free, QStringLiteral("tcp://") + free});
    EXPECT_EQ(both.OutLines().filter(QStringLiteral(": refused")).size(), 2) << both.Out.toStdString() << both.Err.toStdString();
    const TCliRun usage = RunCli({QStringLiteral("read"), QStringLiteral("socket://127.0.0.1:1")});
    EXPECT_EQ(usage.Code, ExitUsage);
    EXPECT_TRUE(usage.Err.contains(QLatin1String("unknown scheme 'socket'"))) << usage.Err.toStdString();
}

} // namespace
