// tq-sensor where the disk, the file system or the line let it down: it ends with the status
// of what failed, never by a signal, never blocked, and never names the wrong cause.
#include "CliRun.h"

#include "tools/SimulatedSensor.h"
#include "tools/sensor-cli/ExitCodes.h"

#include <QFile>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <thread>

namespace {

/// Runs the tool with files limited to `bytes`, as `ulimit -f` does in a shell, where the
/// signal has its default action (this test program may ignore it, which a child inherits).
TCliRun RunLimited(const QStringList &args, rlim_t bytes)
{
    return RunCli(args, [bytes](QProcess &p) {
        p.setChildProcessModifier([bytes] {
            std::signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{bytes, bytes};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    });
}

TEST(CliFaults, AFileSizeLimitFailsTheWriteInsteadOfKillingTheTool)
{
    TSimulatedSensor sensor;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("line.tqx"));
    const TCliRun read = RunLimited({QStringLiteral("read"), sensor.Path(), QStringLiteral("-o"), file}, 20);
    EXPECT_EQ(read.Code, ExitFile) << read.Err.toStdString();
    EXPECT_TRUE(read.OutLines().value(0).startsWith(sensor.Path() + QStringLiteral(": file error")));
    EXPECT_FALSE(QFile::exists(file)); // no torn settings file left behind

    // The trace: every port succeeded, but the record of it is incomplete.
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));
    const TCliRun traced = RunLimited({QStringLiteral("read"), sensor.Path(), QStringLiteral("--trace"), trace}, 300);
    EXPECT_EQ(traced.Code, ExitTrace) << traced.Err.toStdString();
    EXPECT_TRUE(traced.OutLines().value(0).startsWith(sensor.Path() + QStringLiteral(": ok ")));
    EXPECT_TRUE(traced.Err.contains(QStringLiteral("tq-sensor: the trace is incomplete: ") + trace)) << traced.Err.toStdString();
    EXPECT_LE(QFileInfo(trace).size(), 300);
}

TEST(CliFaults, AFifoGivenAsTraceOrOutputIsRefusedBeforeAnyPortIsTouched)
{
    TSimulatedSensor sensor;
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    for (const QStringList &args : {QStringList{QStringLiteral("read"), sensor.Path(), QStringLiteral("--trace"), fifo},
                                    QStringList{QStringLiteral("read"), sensor.Path(), QStringLiteral("-o"), fifo}}) {
        const TCliRun run = RunCli(args); // a blocked open would end as "did not finish"
        EXPECT_EQ(run.Code, ExitFile) << args.join(' ').toStdString() << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(fifo + QStringLiteral(": not a regular file"))) << run.Err.toStdString();
    }
    EXPECT_TRUE(sensor.Sensor().Requests().isEmpty());
}

TEST(CliFaults, ALinePulledDuringIdentificationIsALostLine)
{
    TSensorOptions options;
    options.SilentAfter = 2; // ID goes unanswered until the line is gone
    TSimulatedSensor sensor(options);
    std::atomic<bool> done{false};
    std::thread puller([&] {
        while (!done && sensor.Sensor().Requests().size() < 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!done)
            sensor.Unplug();
    });
    const TCliRun run = RunCli({QStringLiteral("read"), sensor.Path()});
    done = true;
    puller.join();
    EXPECT_EQ(run.Code, ExitNoPort) << run.Out.toStdString();
    EXPECT_TRUE(run.OutLines().value(0).startsWith(sensor.Path() + QStringLiteral(": line lost"))) << run.Out.toStdString();
}

} // namespace
