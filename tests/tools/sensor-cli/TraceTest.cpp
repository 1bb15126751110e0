// The exchange trace of tq-sensor and of the window: every request and reply, time-stamped.
#include "CliRun.h"

#include "app/MainWindow.h"
#include "protocol/ExchangeTrace.h"
#include "tools/SimulatedSensor.h"
#include "tools/sensor-cli/ExitCodes.h"

#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QStringList TraceLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

/// Time stamps of the lines, which must never run backwards.
bool Monotonic(const QStringList &lines)
{
    double last = -1;
    for (const QString &line : lines) {
        const double t = line.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty).toDouble();
        if (t < last)
            return false;
        last = t;
    }
    return true;
}

TEST(CliTrace, EveryRequestAndReplyWithItsResult)
{
    TSimulatedSensor sensor(TSensorOptions{.SilentAfter = 9}); // the last read times out
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));
    const TCliRun run = RunCli({QStringLiteral("read"), sensor.Path(), QStringLiteral("--trace"), trace});
    EXPECT_EQ(run.Code, ExitCommand);
    const QStringList lines = TraceLines(trace);
    // Handshake, seven reads and the farewell: a request and a reply line each.
    ASSERT_EQ(lines.size(), 22) << lines.join('\n').toStdString();
    const QString p = QRegularExpression::escape(sensor.Path());
    const QRegularExpression shape(QStringLiteral("^ *\\d+\\.\\d{3} %1 [<>] ([0-9A-F]{2}( [0-9A-F]{2})*|-) \\| .+$").arg(p));
    for (const QString &line : lines)
        EXPECT_TRUE(shape.match(line).hasMatch()) << line.toStdString();
    EXPECT_TRUE(Monotonic(lines));
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("> 1B 05 00 01 17 | COMM_MODE on")));
    EXPECT_TRUE(lines[5].endsWith(QStringLiteral("< 06 08 00 51 54 03 01 17 | ID complete = type 0x5451 firmware 0x0103")))
        << lines[5].toStdString();
    EXPECT_TRUE(lines[6].endsWith(QStringLiteral("> 1B 04 09 17 | CMD_SET_INERT_T_WORK read")));
    EXPECT_TRUE(lines[7].endsWith(QStringLiteral("< 06 06 00 19 00 17 | CMD_SET_INERT_T_WORK read complete = 25")));
    EXPECT_TRUE(lines[15].endsWith(QStringLiteral("< 06 08 00 00 00 A0 40 17 | CMD_SET_HYST_WIDTH read complete = 5")))
        << lines[15].toStdString();
    EXPECT_TRUE(lines[19].endsWith(QStringLiteral("< - | CMD_CAL_OFF query time-out"))) << lines[19].toStdString();
    EXPECT_TRUE(lines[21].endsWith(QStringLiteral("| COMM_MODE off time-out")));
}

TEST(CliTrace, TheWindowTracesItsWorkflowsToo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("window.txt"));
    TSimulatedSensor sensor;
    {
        TExchangeTrace trace(path);
        SetExchangeObserver(&trace);
        TfrmMain window(nullptr, {sensor.Path()});
        window.txtCalTime->setText(QStringLiteral("200"));
        window.cmdCalOffClick();
        SetExchangeObserver(nullptr);
    }
    const QStringList lines = TraceLines(path);
    ASSERT_EQ(lines.size(), 14);
    EXPECT_TRUE(lines[10].contains(QStringLiteral("> 1B 05 05 01 17 | CMD_CAL_OFF run")));
    EXPECT_TRUE(lines[11].contains(QStringLiteral("| CMD_CAL_OFF run complete = 1"))) << lines[11].toStdString();

    // The program's option: a trace it cannot write ends it before any window shows.
    QProcess configurator;
    configurator.start(QStringLiteral(TQ_CONFIGURATOR),
                       {QStringLiteral("--trace"), dir.filePath(QStringLiteral("no/such/dir/t.txt"))});
    ASSERT_TRUE(configurator.waitForFinished(20000));
    EXPECT_EQ(configurator.exitCode(), 1);
    EXPECT_TRUE(configurator.readAllStandardError().contains("cannot write the trace"));
}

/// A line without its time stamp.
QString Untimed(const QString &line)
{
    return line.section(QLatin1Char(' '), 1, -1, QString::SectionSkipEmpty);
}

TEST(CliTrace, ARefusalIsANakAndVerboseShowsWhatTheTraceWrites)
{
    TSensorOptions refusing;
    refusing.NakCommand = 7;
    TSimulatedSensor sensor(refusing), good;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.txt"));
    const TCliRun run = RunCli({QStringLiteral("write"), sensor.Path(), QStringLiteral("--set"), QStringLiteral("hysteresis=7.5"),
                                QStringLiteral("--trace"), path, QStringLiteral("-v")});
    EXPECT_EQ(run.Code, ExitCommand);
    const QStringList lines = TraceLines(path);
    const qsizetype sent = lines.indexOf(QRegularExpression(QStringLiteral(".*> 1B 08 07 00 00 F0 40 17 \\| CMD_SET_HYST_WIDTH write 7.5$")));
    ASSERT_GT(sent, 0) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.value(sent + 1).endsWith(QStringLiteral("< 15 04 00 17 | CMD_SET_HYST_WIDTH write NAK")))
        << lines.value(sent + 1).toStdString();
    // Standard error: the same lines, in the same order, and the window's message.
    QStringList shown;
    for (const QString &line : run.ErrLines())
        if (line.contains(QStringLiteral(" | ")))
            shown << Untimed(line);
    QStringList written;
    for (const QString &line : lines)
        written << Untimed(line);
    EXPECT_EQ(shown, written);
    EXPECT_TRUE(run.ErrLines().contains(sensor.Path() + QStringLiteral(": ") + NakText("CMD_SET_HYST_WIDTH")));

    // Quiet: only the port that failed and the summary; its message still on standard error.
    const TCliRun quiet = RunCli({QStringLiteral("read"), good.Path(), sensor.Path(), QStringLiteral("-q")});
    EXPECT_EQ(quiet.Code, ExitCommand);
    ASSERT_EQ(quiet.OutLines().size(), 2) << quiet.Out.toStdString();
    EXPECT_TRUE(quiet.OutLines()[0].startsWith(sensor.Path() + QStringLiteral(": command failed")));
    EXPECT_EQ(quiet.OutLines()[1], QStringLiteral("1 of 2 ports succeeded"));
    EXPECT_EQ(quiet.ErrLines(), QStringList{sensor.Path() + QStringLiteral(": ") + NakText("CMD_SET_HYST_WIDTH")});
    EXPECT_EQ(RunCli({QStringLiteral("read"), good.Path(), QStringLiteral("-q"), QStringLiteral("-v")}).Code, ExitUsage);
}

} // namespace
