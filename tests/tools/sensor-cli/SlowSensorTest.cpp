// tq-sensor against slow sensors and late replies: every value it prints, saves or reports in
// JSON answered its own command, and the sensor received exactly the workflow's requests.
#include "CliRun.h"

#include "protocol/LineSettle.h"
#include "tools/SimulatedSensor.h"
#include "tools/sensor-cli/ExitCodes.h"
#include "tools/sensor-cli/SettingsImage.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

TSensorOptions Options(int slowCode, int slowMs, int allMs = 0, int ignored = -1)
{
    TSensorOptions o;
    o.SlowCommand = slowCode;
    o.SlowCommandMs = slowMs;
    o.ProcessingDelayMs = allMs;
    o.IgnoredCommand = ignored;
    return o;
}

const QList<QByteArray> ReadRequests = {Frame(TCommand::CMD_SET_INERT_T_WORK), Frame(TCommand::CMD_SET_INERT_T_CALIB),
                                        Frame(TCommand::CMD_SET_CAL_STAB_TIME), Frame(TCommand::CMD_SET_INP_FLT_TIME),
                                        Frame(TCommand::CMD_SET_HYST_WIDTH),    Frame(TCommand::CMD_CAL_ON),
                                        Frame(TCommand::CMD_CAL_OFF)};

TEST(CliSlowSensor, ReadPrintsOnlyValuesThatAnsweredTheirOwnCommand)
{
    struct Case {
        const char *Name;
        TSensorOptions Options;
        int Code;
        QString Values; // what the port's line shows after its status
        QStringList Messages;
    };
    const QString all = QStringLiteral("work_inertia=25 input_filter=100 hysteresis=5 calib_inertia=100 "
                                       "averaging_time=25000 cal_on=3124 cal_off=1187");
    const Case cases[] = {
        {"COMM_MODE late", Options(0, 900), ExitOk, QStringLiteral("ok ") + all, {}},
        {"COMM_MODE never answered", Options(-1, 0, 0, 0), ExitOk, QStringLiteral("ok ") + all, {}},
        {"every reply late", Options(-1, 0, 60), ExitOk, QStringLiteral("ok ") + all, {}},
        {"work inertia after its time-out", Options(9, 1100), ExitCommand,
         QStringLiteral("command failed input_filter=100 hysteresis=5 calib_inertia=100 averaging_time=25000 "
                        "cal_on=3124 cal_off=1187"),
         {FailedText("CMD_SET_INERT_T_WORK")}},
        {"averaging time 450 ms after its time-out", Options(6, 1450), ExitCommand,
         QStringLiteral("command failed work_inertia=25 input_filter=100 hysteresis=5 calib_inertia=100 "
                        "cal_on=3124 cal_off=1187"),
         {FailedText("CMD_SET_CAL_STAB_TIME")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TSimulatedSensor sensor(c.Options);
        const TCliRun run = RunCli({QStringLiteral("read"), sensor.Path()});
        EXPECT_EQ(run.Code, c.Code);
        EXPECT_EQ(run.OutLines().value(0), sensor.Path() + QStringLiteral(": ") + c.Values);
        QStringList messages;
        for (const QString &m : c.Messages)
            messages << sensor.Path() + QStringLiteral(": ") + m;
        EXPECT_EQ(run.ErrLines(), messages);
        EXPECT_EQ(sensor.Sensor().Requests(), Handshake() + ReadRequests + QList<QByteArray>{Farewell()});
    }
}

/// The values of the first port in a --json report.
QJsonObject FirstPortValues(const TCliRun &run)
{
    const QJsonArray ports = QJsonDocument::fromJson(run.Out.toUtf8()).object().value(QStringLiteral("ports")).toArray();
    return ports.at(0).toObject().value(QStringLiteral("values")).toObject();
}

// The JSON and the settings file of a read, and a write whose first reply comes late.
TEST(CliSlowSensor, JsonFileAndWriteKeepEveryValueInItsPlace)
{
    {
        TSimulatedSensor sensor(Options(0, 300, 60));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("s.tqx"));
        const TCliRun run = RunCli({QStringLiteral("read"), sensor.Path(), QStringLiteral("--json"),
                                    QStringLiteral("-o"), file});
        EXPECT_EQ(run.Code, ExitOk) << run.Err.toStdString();
        const QJsonObject values = FirstPortValues(run);
        const QJsonObject expected{{"work_inertia", 25},   {"input_filter", 100},       {"hysteresis", 5},
                                   {"calib_inertia", 100}, {"averaging_time", 25000}, {"cal_on", 3124},
                                   {"cal_off", 1187}};
        EXPECT_EQ(values, expected);
        TFieldTexts saved;
        EXPECT_EQ(LoadSettingsImage(file, saved), QString());
        EXPECT_EQ(saved, (TFieldTexts{"25", "100", "5", "100", "25000", "3124", "1187"}));
    }
    {
        TSimulatedSensor sensor(Options(9, 1100));
        const TCliRun run = RunCli({QStringLiteral("write"), sensor.Path(), QStringLiteral("--json"),
                                    QStringLiteral("--set"), QStringLiteral("work_inertia=40"),
                                    QStringLiteral("--set"), QStringLiteral("input_filter=300"),
                                    QStringLiteral("--set"), QStringLiteral("hysteresis=7"),
                                    QStringLiteral("--set"), QStringLiteral("calib_inertia=150"),
                                    QStringLiteral("--set"), QStringLiteral("averaging_time=250")});
        EXPECT_EQ(run.Code, ExitCommand);
        EXPECT_EQ(run.ErrLines(), QStringList{sensor.Path() + QStringLiteral(": ") + FailedText("CMD_SET_INERT_T_WORK")});
        const QJsonObject values = FirstPortValues(run);
        // The sent text stays where the sensor's answer did not come; the others are the sensor's.
        EXPECT_EQ(values.value(QStringLiteral("work_inertia")).toDouble(), 40);
        EXPECT_EQ(values.value(QStringLiteral("calib_inertia")).toDouble(), 150);
        EXPECT_EQ(values.value(QStringLiteral("averaging_time")).toDouble(), 250);
        EXPECT_EQ(values.value(QStringLiteral("input_filter")).toDouble(), 300);
        EXPECT_EQ(values.value(QStringLiteral("hysteresis")).toDouble(), 7);
        EXPECT_EQ(sensor.Sensor().Saved(), (TSensorParams{40, 300, 7.0f, 150, 250}));
        const QList<QByteArray> writes = {Frame(TCommand::CMD_SET_INERT_T_WORK, {40, 0}),
                                          Frame(TCommand::CMD_SET_INERT_T_CALIB, {150, 0}),
                                          Frame(TCommand::CMD_SET_CAL_STAB_TIME, {250, 0}),
                                          Frame(TCommand::CMD_SET_INP_FLT_TIME, {44, 1}),
                                          Frame(TCommand::CMD_SET_HYST_WIDTH, {0, 0, 224, 64}),
                                          Frame(TCommand::SAVE_CONF), Farewell()};
        EXPECT_EQ(sensor.Sensor().Requests(), Handshake() + writes);
    }
}

/// The time stamp of the first trace line that ends with `tail`, -1 when none does.
double StampOf(const QStringList &lines, const QString &tail, int from = 0)
{
    for (int i = from; i < lines.size(); ++i)
        if (lines[i].endsWith(tail))
            return lines[i].section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty).toDouble();
    return -1;
}

// A sensor that falls silent: each command fails one period after its request, and the next
// request waits for the line to settle; the trace shows the late reply the settle caught.
TEST(CliSlowSensor, TraceShowsTimeOutsSettlesAndWhatWasDiscarded)
{
    TSensorOptions silent;
    silent.SilentAfter = 3;
    TSimulatedSensor sensor(silent);
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("t.txt"));
    const TCliRun run = RunCli({QStringLiteral("read"), sensor.Path(), QStringLiteral("--trace"), trace});
    EXPECT_EQ(run.Code, ExitCommand);
    EXPECT_EQ(run.ErrLines().size(), 7);
    QFile f(trace);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList names = {"CMD_SET_INERT_T_WORK read", "CMD_SET_INERT_T_CALIB read", "CMD_SET_CAL_STAB_TIME read",
                               "CMD_SET_INP_FLT_TIME read", "CMD_SET_HYST_WIDTH read", "CMD_CAL_ON query",
                               "CMD_CAL_OFF query"};
    double lastTimeOut = -1;
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        const double sent = StampOf(lines, QStringLiteral("| ") + name);
        const double timedOut = StampOf(lines, QStringLiteral("| ") + name + QStringLiteral(" time-out"));
        EXPECT_GE(timedOut - sent, 999);
        EXPECT_LT(timedOut - sent, 1300);
        if (lastTimeOut >= 0) {
            EXPECT_GE(sent - lastTimeOut, LateReplyMs - 1);
        }
        lastTimeOut = timedOut;
    }

    TSimulatedSensor late(Options(9, 1100));
    RunCli({QStringLiteral("read"), late.Path(), QStringLiteral("--trace"), trace});
    f.close();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("< 06 06 00 19 00 17 | CMD_SET_INERT_T_CALIB read discarded: late reply "
                                             "to an earlier request")))
        << text.toStdString();
}

} // namespace
