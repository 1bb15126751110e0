// Every subcommand of tq-sensor against simulated sensors, with their faults: what it prints,
// the files it writes, what the sensors received and how it exits.
#include "CliRun.h"

#include "app/Version.h"
#include "serial/ComPort.h"
#include "tools/Pty.h"
#include "tools/SimulatedSensor.h"
#include "tools/sensor-cli/ExitCodes.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <bit>
#include <memory>
#include <vector>

namespace {

const QString DefaultValues = QStringLiteral(
    "work_inertia=25 input_filter=100 hysteresis=5 calib_inertia=100 averaging_time=25000 cal_on=3124 cal_off=1187");

QString BusyText(const QString &port)
{
    return QStringLiteral("Порт %1 занят другой программой: %2 (pid %3). Закройте её и попробуйте снова.")
        .arg(port, QCoreApplication::applicationName().left(15))
        .arg(QCoreApplication::applicationPid());
}

TSensorOptions Faulty(std::function<void(TSensorOptions &)> f)
{
    TSensorOptions o;
    f(o);
    return o;
}

/// A settings file as the window writes it.
QByteArray SettingsBytes(qint32 calOn, qint32 calOff, qint32 calTime, qint32 inertCalib, qint32 inertWork,
                         qint32 inpFlt, float hyst)
{
    QByteArray b("TQ_CONF", 8);
    for (quint32 v : {quint32(calOn), quint32(calOff), quint32(calTime), quint32(inertCalib), quint32(inertWork),
                      quint32(inpFlt), std::bit_cast<quint32>(hyst)}) {
        char le[4];
        qToLittleEndian(v, le);
        b.append(le, 4);
    }
    return b;
}

QString WriteFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(CliRead, PrintsSavesAndReportsTheSevenValuesOfOneSensor)
{
    TSimulatedSensor sensor;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("line3.tqx"));
    const TCliRun run = RunCli({QStringLiteral("read"), sensor.Path(), QStringLiteral("-o"), file});
    EXPECT_EQ(run.Code, ExitOk) << run.Err.toStdString();
    EXPECT_EQ(run.OutLines(), QStringList({sensor.Path() + QStringLiteral(": ok ") + DefaultValues,
                                           QStringLiteral("1 of 1 ports succeeded")}));
    EXPECT_EQ(run.Err, QString());
    EXPECT_EQ(ReadFile(file), SettingsBytes(3124, 1187, 25000, 100, 25, 100, 5.0f));

    const TCliRun json = RunCli({QStringLiteral("read"), sensor.Path(), QStringLiteral("--json")});
    EXPECT_EQ(json.Code, ExitOk);
    const QJsonObject doc = QJsonDocument::fromJson(json.Out.toUtf8()).object();
    const QJsonObject port = doc.value(QStringLiteral("ports")).toArray().at(0).toObject();
    EXPECT_EQ(port.value(QStringLiteral("port")).toString(), sensor.Path());
    EXPECT_EQ(port.value(QStringLiteral("status")).toString(), QStringLiteral("ok"));
    const QJsonObject values = port.value(QStringLiteral("values")).toObject();
    EXPECT_EQ(values.size(), 7);
    for (const QJsonValue &value : values)
        EXPECT_TRUE(value.isDouble()) << json.Out.toStdString(); // numbers, never texts
    EXPECT_EQ(values.value(QStringLiteral("averaging_time")).toInteger(), 25000);
    EXPECT_EQ(values.value(QStringLiteral("hysteresis")).toDouble(), 5.0);
    EXPECT_EQ(port.value(QStringLiteral("exit_code")).toInteger(-1), 0);
    EXPECT_EQ(doc.value(QStringLiteral("succeeded")).toInteger(), 1);
    EXPECT_EQ(doc.value(QStringLiteral("format")).toInteger(), 1);
}

TEST(CliRead, SeveralPortsRunTogetherAndAFailedOneIsReportedWithoutAFile)
{
    std::vector<std::unique_ptr<TSimulatedSensor>> sensors;
    sensors.push_back(std::make_unique<TSimulatedSensor>());
    sensors.push_back(std::make_unique<TSimulatedSensor>(Faulty([](TSensorOptions &o) { o.NakCommand = 7; })));
    sensors.push_back(std::make_unique<TSimulatedSensor>());
    QTemporaryDir dir;
    const TCliRun run = RunCli({QStringLiteral("read"), sensors[0]->Path(), sensors[1]->Path(), sensors[2]->Path(),
                                QStringLiteral("-o"), dir.filePath(QStringLiteral("s-{port}.tqx"))});
    EXPECT_EQ(run.Code, ExitCommand);
    const QStringList lines = run.OutLines();
    ASSERT_EQ(lines.size(), 4) << run.Out.toStdString();
    EXPECT_EQ(lines[0], sensors[0]->Path() + QStringLiteral(": ok ") + DefaultValues);
    EXPECT_TRUE(lines[1].startsWith(sensors[1]->Path() + QStringLiteral(": command failed work_inertia=25")));
    EXPECT_FALSE(lines[1].contains(QStringLiteral("hysteresis=")));
    EXPECT_EQ(lines[2], sensors[2]->Path() + QStringLiteral(": ok ") + DefaultValues);
    EXPECT_EQ(lines[3], QStringLiteral("2 of 3 ports succeeded"));
    EXPECT_EQ(run.ErrLines(), QStringList{sensors[1]->Path() + QStringLiteral(": ") + NakText("CMD_SET_HYST_WIDTH")});
    const auto fileOf = [&](int i) {
        return dir.filePath(QStringLiteral("s-%1.tqx").arg(QFileInfo(sensors[i]->Path()).fileName()));
    };
    EXPECT_EQ(ReadFile(fileOf(0)).size(), 36);
    EXPECT_FALSE(QFile::exists(fileOf(1)));
    EXPECT_EQ(ReadFile(fileOf(2)).size(), 36);
}

TEST(CliWrite, AFileGoesIntoEverySensorAndIsStored)
{
    QTemporaryDir dir;
    const QString file = WriteFile(dir, QStringLiteral("set.tqx"), SettingsBytes(1, 2, 300, 150, 40, 200, 7.5f));
    TSimulatedSensor a, b;
    const TCliRun run = RunCli({QStringLiteral("write"), a.Path(), b.Path(), file});
    EXPECT_EQ(run.Code, ExitOk) << run.Err.toStdString();
    const TSensorParams expected{40, 200, 7.5f, 150, 300};
    for (TSimulatedSensor *s : {&a, &b}) {
        EXPECT_EQ(s->Sensor().Saved(), expected);
        EXPECT_TRUE(run.Out.contains(s->Path() + QStringLiteral(": ok work_inertia=40 input_filter=200 hysteresis=7.5 "
                                                                "calib_inertia=150 averaging_time=300\n")))
            << run.Out.toStdString();
    }
    EXPECT_TRUE(run.Out.endsWith(QStringLiteral("2 of 2 ports succeeded\n")));
}

TEST(CliWrite, SetSendsItsValueAndWritesTheOthersBackAsTheSensorHeldThem)
{
    TSimulatedSensor sensor;
    const TCliRun run = RunCli({QStringLiteral("write"), sensor.Path(), QStringLiteral("--set"),
                                QStringLiteral("hysteresis=8.25"), QStringLiteral("--set"), QStringLiteral("input_filter=300")});
    EXPECT_EQ(run.Code, ExitOk) << run.Err.toStdString();
    EXPECT_EQ(sensor.Sensor().Saved(), (TSensorParams{25, 300, 8.25f, 100, 25000}));
    QList<QByteArray> expected = Handshake();
    expected << Frame(TCommand::CMD_SET_INERT_T_WORK) << Frame(TCommand::CMD_SET_INERT_T_CALIB)
             << Frame(TCommand::CMD_SET_CAL_STAB_TIME) // the three not given are read first
             << Frame(TCommand::CMD_SET_INERT_T_WORK, {25, 0}) << Frame(TCommand::CMD_SET_INERT_T_CALIB, {100, 0})
             << Frame(TCommand::CMD_SET_CAL_STAB_TIME, {0xA8, 0x61}) << Frame(TCommand::CMD_SET_INP_FLT_TIME, {0x2C, 1})
             << Frame(TCommand::CMD_SET_HYST_WIDTH, {0, 0, 4, 65}) << Frame(TCommand::SAVE_CONF) << Farewell();
    EXPECT_EQ(sensor.Sensor().Requests(), expected);
}

TEST(CliWrite, VerifyReportsEveryValueTheSensorClamped)
{
    TSimulatedSensor sensor(Faulty([](TSensorOptions &o) { o.Clamp = true; }));
    const QStringList args{QStringLiteral("write"), sensor.Path(), QStringLiteral("--set"), QStringLiteral("hysteresis=60"),
                           QStringLiteral("--set"), QStringLiteral("work_inertia=2"), QStringLiteral("--set"),
                           QStringLiteral("input_filter=30")};
    const TCliRun plain = RunCli(args);
    EXPECT_EQ(plain.Code, ExitOk); // the sensor's answer shows the clamp, but nobody asked to compare
    EXPECT_TRUE(plain.Out.contains(QStringLiteral("hysteresis=50"))) << plain.Out.toStdString();

    const TCliRun run = RunCli(args + QStringList{QStringLiteral("--verify")});
    EXPECT_EQ(run.Code, ExitDifferent) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains(sensor.Path() + QStringLiteral(": differs ")));
    EXPECT_TRUE(run.Out.contains(QStringLiteral("[work_inertia: sent 2, sensor holds 5; hysteresis: sent 60, sensor holds 50]"))) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral("0 of 1 ports succeeded")));

    // A locale with a decimal comma: the command line and the text output keep the window's
    // form, the JSON document has numbers, the hysteresis as the shortest decimal of its value.
    const TCliRun json = RunCli({QStringLiteral("write"), sensor.Path(), QStringLiteral("--set"), QStringLiteral("hysteresis=8,1"),
                                 QStringLiteral("--set"), QStringLiteral("work_inertia=2"), QStringLiteral("--verify"),
                                 QStringLiteral("--json")},
                                [](QProcess &p) {
                                    QProcessEnvironment env = p.processEnvironment();
                                    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("ru_RU.UTF-8"));
                                    p.setProcessEnvironment(env);
                                });
    EXPECT_EQ(json.Code, ExitDifferent) << json.Err.toStdString();
    EXPECT_TRUE(json.Out.contains(QStringLiteral("\"hysteresis\": 8.1,"))) << json.Out.toStdString();
    const QJsonObject port = QJsonDocument::fromJson(json.Out.toUtf8())["ports"][0].toObject();
    EXPECT_EQ(float(port["values"]["hysteresis"].toDouble()), 8.1f);
    const QJsonArray differences = port["differences"].toArray();
    ASSERT_EQ(differences.size(), 1) << json.Out.toStdString();
    EXPECT_EQ(differences[0].toObject(), (QJsonObject{{QStringLiteral("field"), QStringLiteral("work_inertia")},
                                                      {QStringLiteral("sent"), 2},
                                                      {QStringLiteral("held"), 5}}));
    // The read-back follows the stored write.
    const QList<QByteArray> requests = sensor.Sensor().Requests();
    ASSERT_GE(requests.size(), 7);
    EXPECT_EQ(requests[requests.size() - 7], Frame(TCommand::SAVE_CONF));
    EXPECT_EQ(requests[requests.size() - 2], Frame(TCommand::CMD_SET_HYST_WIDTH));
}

TEST(CliWrite, AFailingStoreOrASilentSensorFailsTheCommandWithTheWindowsMessage)
{
    TSimulatedSensor store(Faulty([](TSensorOptions &o) { o.SaveConfError = true; }));
    TSimulatedSensor silent(Faulty([](TSensorOptions &o) { o.SilentAfter = 8; })); // handshake and five writes
    const TCliRun run = RunCli({QStringLiteral("write"), store.Path(), silent.Path(), QStringLiteral("--set"),
                                QStringLiteral("calib_inertia=120"), QStringLiteral("--set"), QStringLiteral("work_inertia=1"),
                                QStringLiteral("--set"), QStringLiteral("averaging_time=5"), QStringLiteral("--set"),
                                QStringLiteral("input_filter=2"), QStringLiteral("--set"), QStringLiteral("hysteresis=3")});
    EXPECT_EQ(run.Code, ExitCommand);
    EXPECT_TRUE(run.ErrLines().contains(store.Path() + QStringLiteral(": Ошибка при команде SAVE_CONF: внутренняя ошибка устройства.")))
        << run.Err.toStdString();
    EXPECT_TRUE(run.ErrLines().contains(silent.Path() + QStringLiteral(": ") + FailedText("SAVE_CONF")));
    EXPECT_TRUE(run.Out.contains(store.Path() + QStringLiteral(": command failed")));
    EXPECT_TRUE(run.Out.contains(silent.Path() + QStringLiteral(": command failed")));
    EXPECT_TRUE(run.Out.contains(QStringLiteral("0 of 2 ports succeeded")));
}

TEST(CliCalibrate, RunsWithTheGivenParametersAndPrintsTheResult)
{
    TSimulatedSensor sensor;
    const TCliRun run = RunCli({QStringLiteral("calibrate"), QStringLiteral("on"), sensor.Path(), QStringLiteral("--time"),
                                QStringLiteral("300"), QStringLiteral("--inert"), QStringLiteral("120")});
    EXPECT_EQ(run.Code, ExitOk) << run.Err.toStdString();
    const QString result = QString::number(sensor.Sensor().CalOn());
    EXPECT_EQ(run.OutLines().value(0),
              sensor.Path() + QStringLiteral(": ok calib_inertia=120 averaging_time=300 cal_on=") + result);
    QList<QByteArray> expected = Handshake();
    expected << Frame(TCommand::CMD_SET_INERT_T_CALIB, {120, 0}) << Frame(TCommand::CMD_SET_CAL_STAB_TIME, {44, 1})
             << Frame(TCommand::CMD_CAL_ON, {1}) << Farewell();
    EXPECT_EQ(sensor.Sensor().Requests(), expected);
}

TEST(CliCalibrate, AParameterNotGivenIsTheSensorsOwnAndARefusedRunFails)
{
    TSimulatedSensor sensor;
    const TCliRun run = RunCli({QStringLiteral("calibrate"), QStringLiteral("off"), sensor.Path(), QStringLiteral("--time"),
                                QStringLiteral("200")});
    EXPECT_EQ(run.Code, ExitOk) << run.Err.toStdString();
    QList<QByteArray> expected = Handshake();
    expected << Frame(TCommand::CMD_SET_INERT_T_CALIB) << Frame(TCommand::CMD_SET_INERT_T_CALIB, {100, 0})
             << Frame(TCommand::CMD_SET_CAL_STAB_TIME, {200, 0}) << Frame(TCommand::CMD_CAL_OFF, {1}) << Farewell();
    EXPECT_EQ(sensor.Sensor().Requests(), expected);

    TSimulatedSensor refusing(Faulty([](TSensorOptions &o) { o.NakCommand = 4; }));
    const TCliRun refused = RunCli({QStringLiteral("calibrate"), QStringLiteral("on"), refusing.Path(), QStringLiteral("--time"),
                                    QStringLiteral("200"), QStringLiteral("--inert"), QStringLiteral("100")});
    EXPECT_EQ(refused.Code, ExitCommand);
    EXPECT_EQ(refused.ErrLines(), QStringList{refusing.Path() + QStringLiteral(": ") + NakText("CMD_CAL_ON")});
}

TEST(CliCalibrate, ATimeOutOnOnePortDoesNotEndTheWaitOnAnother)
{
    // The silent port's PING times out while the sensor's calibration is still running.
    TSimulatedSensor sensor;
    TPtyPair nobody;
    const TCliRun run = RunCli({QStringLiteral("calibrate"), QStringLiteral("on"), sensor.Path(), nobody.SlavePath(),
                                QStringLiteral("--time"), QStringLiteral("1500"), QStringLiteral("--inert"), QStringLiteral("100")});
    EXPECT_EQ(run.Code, ExitNoSensor);
    EXPECT_TRUE(run.OutLines().value(0).startsWith(sensor.Path() + QStringLiteral(": ok calib_inertia=100 averaging_time=1500 cal_on=")))
        << run.Out.toStdString() << run.Err.toStdString();
    EXPECT_EQ(run.OutLines().value(1), nobody.SlavePath() + QStringLiteral(": no sensor"));
}

TEST(CliCalibrate, ATerminalShowsTheElapsedAndTheExpectedTime)
{
    TSimulatedSensor sensor;
    TPtyPair terminal; // standard error of the tool
    const TCliRun run = RunCli({QStringLiteral("calibrate"), QStringLiteral("on"), sensor.Path(), QStringLiteral("--time"),
                                QStringLiteral("700"), QStringLiteral("--inert"), QStringLiteral("100")},
                               [&](QProcess &p) {
                                   const QByteArray path = terminal.SlavePath().toLocal8Bit();
                                   p.setChildProcessModifier([path] {
                                       const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
                                       ::dup2(fd, STDERR_FILENO);
                                   });
                               });
    EXPECT_EQ(run.Code, ExitOk);
    QByteArray shown;
    char buf[512];
    for (;;) {
        pollfd p{terminal.Master(), POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            break;
        const ssize_t n = ::read(terminal.Master(), buf, sizeof buf);
        if (n <= 0)
            break;
        shown.append(buf, n);
    }
    EXPECT_TRUE(shown.contains("calibrating " + sensor.Path().toLocal8Bit() + " 0.")) << shown.constData();
    EXPECT_TRUE(shown.contains(" of 0.7 s")) << shown.constData();
    EXPECT_TRUE(shown.endsWith("\r\033[K")) << shown.constData(); // the status line is gone at the end
}

TEST(CliConnection, EachKindOfConnectionFailureHasItsOwnExitStatus)
{
    const QString openText = QStringLiteral("Невозможно открыть COM-порт. Попробуйте выбрать другой порт или запустить "
                                            "программу от имени администратора.");
    const TCliRun missing = RunCli({QStringLiteral("read"), QStringLiteral("/dev/no-such-tty")});
    EXPECT_EQ(missing.Code, ExitNoPort);
    EXPECT_EQ(missing.OutLines().value(0), QStringLiteral("/dev/no-such-tty: no such port (Устройства /dev/no-such-tty больше "
                                                          "нет в системе (адаптер отключён?). Подключите его снова или "
                                                          "выберите другой порт.)"));
    EXPECT_EQ(missing.ErrLines(), QStringList{QStringLiteral("/dev/no-such-tty: ") + openText});

    TSimulatedSensor held;
    TComPort other; // another program has the port
    other.SetPort(held.Path());
    other.Open();
    const TCliRun busy = RunCli({QStringLiteral("read"), held.Path()});
    EXPECT_EQ(busy.Code, ExitNoPort);
    // The holder is this test, named with its pid as the window names it.
    const QString holder = QStringLiteral("(pid %1)").arg(QCoreApplication::applicationPid());
    EXPECT_TRUE(busy.OutLines().value(0).startsWith(held.Path() + QStringLiteral(": busy (Порт ")));
    EXPECT_TRUE(busy.OutLines().value(0).contains(holder)) << busy.Out.toStdString();
    EXPECT_TRUE(held.Sensor().Requests().isEmpty());
    other.Close();

    TPtyPair nobody;
    const TCliRun silent = RunCli({QStringLiteral("read"), nobody.SlavePath()});
    EXPECT_EQ(silent.Code, ExitNoSensor);
    EXPECT_EQ(silent.OutLines().value(0), nobody.SlavePath() + QStringLiteral(": no sensor"));
    EXPECT_EQ(silent.ErrLines(), QStringList{nobody.SlavePath() + QStringLiteral(": Ошибка при команде PING.")});

    TSimulatedSensor other_type(Faulty([](TSensorOptions &o) { o.DeviceType = 0x1234; }));
    const TCliRun wrong = RunCli({QStringLiteral("write"), other_type.Path(), QStringLiteral("--set"), QStringLiteral("hysteresis=5")});
    EXPECT_EQ(wrong.Code, ExitWrongType);
    EXPECT_EQ(wrong.OutLines().value(0),
              other_type.Path() + QStringLiteral(": wrong device type (type 0x1234 firmware 0x0103)"));
    EXPECT_EQ(wrong.ErrLines(), QStringList{other_type.Path() + QStringLiteral(": Устройство данного типа или микропрограмма "
                                                                                "данной версии не поддерживаются.")});
    EXPECT_EQ(other_type.Sensor().Requests(), Handshake() << Farewell());

    // Several ports failing differently: the first one's status.
    const TCliRun mixed = RunCli({QStringLiteral("read"), nobody.SlavePath(), QStringLiteral("/dev/no-such-tty")});
    EXPECT_EQ(mixed.Code, ExitNoSensor);
}

TEST(CliUsage, WrongCommandLinesAndValuesSendNothing)
{
    TSimulatedSensor sensor;
    const QString port = sensor.Path();
    const QList<QStringList> wrong = {
        {},
        {QStringLiteral("frobnicate"), port},
        {QStringLiteral("read")},
        {QStringLiteral("write"), port},
        {QStringLiteral("write"), port, QStringLiteral("--set"), QStringLiteral("bogus=1")},
        {QStringLiteral("write"), port, QStringLiteral("--set"), QStringLiteral("work_inertia=70000")},
        {QStringLiteral("write"), port, QStringLiteral("--set"), QStringLiteral("work_inertia=-1")},
        {QStringLiteral("write"), port, QStringLiteral("--set"), QStringLiteral("hysteresis=inf")},
        {QStringLiteral("write"), port, QStringLiteral("--set"), QStringLiteral("cal_on=5")},
        {QStringLiteral("calibrate"), QStringLiteral("sideways"), port},
        {QStringLiteral("calibrate"), QStringLiteral("on"), port, QStringLiteral("--time"), QStringLiteral("soon")},
        {QStringLiteral("read"), port, QStringLiteral("--verify")},
        {QStringLiteral("read"), port, port},
        {QStringLiteral("read"), port, QStringLiteral("/dev/other"), QStringLiteral("-o"), QStringLiteral("one.tqx")},
    };
    for (const QStringList &args : wrong) {
        const TCliRun run = RunCli(args);
        EXPECT_EQ(run.Code, ExitUsage) << args.join(' ').toStdString();
        EXPECT_TRUE(run.Err.contains(QStringLiteral("--help"))) << run.Err.toStdString();
        EXPECT_EQ(run.Out, QString());
    }
    EXPECT_TRUE(sensor.Sensor().Requests().isEmpty());

    const TCliRun help = RunCli({QStringLiteral("--help")});
    EXPECT_EQ(help.Code, ExitOk);
    EXPECT_TRUE(help.Out.startsWith(QStringLiteral("Usage: tq-sensor ports")));
    // Every option the parser takes is listed with its description.
    for (const char *option : {"-o, --output=FILE.tqx  ", "--set=FIELD=VALUE  ", "--verify  ", "--time=MS  ",
                               "--inert=MS  ", "--json  ", "--trace=FILE  ", "-q, --quiet  ", "-v, --verbose  ",
                               "-h, --help  ", "--version  "})
        EXPECT_TRUE(help.Out.contains(QLatin1String("\n  ") + QLatin1String(option))) << option;
    for (const char *section : {"\nCommands:\n", "\nFields:\n", "\nJSON output:\n", "\nExit status:\n",
                                "\nOptions:\n", "\nExamples:\n", "averaging_time"})
        EXPECT_TRUE(help.Out.contains(QLatin1String(section))) << section;

    // Both programs print the version the window's version block holds.
    const QString fileVersion = version(QStringLiteral(TQ_CONFIGURATOR)).FileVersion();
    EXPECT_FALSE(fileVersion.isEmpty());
    const TCliRun own = RunCli({QStringLiteral("--version")});
    EXPECT_EQ(own.Code, ExitOk);
    EXPECT_EQ(own.Out, QStringLiteral("tq-sensor ") + fileVersion + QLatin1Char('\n'));
    QProcess sim;
    sim.start(QStringLiteral(TQ_SENSOR_SIM), {QStringLiteral("--version")});
    ASSERT_TRUE(sim.waitForFinished(20000));
    EXPECT_EQ(QString::fromUtf8(sim.readAllStandardOutput()), QStringLiteral("tq-sensor-sim ") + fileVersion + QLatin1Char('\n'));
}

TEST(CliFiles, UnreadableAndForeignSettingsFilesAndUnwritableOutputs)
{
    TSimulatedSensor sensor;
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.tqx"));
    const TCliRun noFile = RunCli({QStringLiteral("write"), sensor.Path(), missing});
    EXPECT_EQ(noFile.Code, ExitFile);
    EXPECT_EQ(noFile.ErrLines(), QStringList{missing + QStringLiteral(": Невозможно открыть файл для чтения")});

    QByteArray foreign = SettingsBytes(0, 0, 0, 0, 0, 0, 0);
    foreign[7] = 'X';
    const QString foreignPath = WriteFile(dir, QStringLiteral("foreign.tqx"), foreign);
    const TCliRun wrongFormat = RunCli({QStringLiteral("write"), sensor.Path(), foreignPath});
    EXPECT_EQ(wrongFormat.Code, ExitFile);
    EXPECT_TRUE(wrongFormat.Err.contains(QStringLiteral("Формат файла не соответствует данной программе.")));

    const QString shortPath = WriteFile(dir, QStringLiteral("short.tqx"), SettingsBytes(0, 0, 0, 0, 0, 0, 0).left(20));
    const TCliRun truncated = RunCli({QStringLiteral("write"), sensor.Path(), shortPath});
    EXPECT_EQ(truncated.Code, ExitFile);
    EXPECT_TRUE(truncated.Err.contains(QStringLiteral("Ошибка чтения из файла.")));

    // A value the sensor cannot take unchanged is refused before anything goes out.
    const QString wide = WriteFile(dir, QStringLiteral("wide.tqx"), SettingsBytes(0, 0, 100, 100, 70000, 100, 5));
    EXPECT_EQ(RunCli({QStringLiteral("write"), sensor.Path(), wide}).Code, ExitUsage);
    EXPECT_TRUE(sensor.Sensor().Requests().isEmpty());

    const TCliRun unwritable = RunCli({QStringLiteral("read"), sensor.Path(), QStringLiteral("-o"),
                                       dir.filePath(QStringLiteral("no/such/dir.tqx"))});
    EXPECT_EQ(unwritable.Code, ExitFile);
    EXPECT_TRUE(unwritable.OutLines().value(0).startsWith(sensor.Path() + QStringLiteral(": file error")));
    EXPECT_EQ(unwritable.ErrLines(), QStringList{sensor.Path() + QStringLiteral(": Невозможно открыть файл для записи")});
}

TEST(CliFind, ProbesAllPortsAndLeavesBusyOnesAlone)
{
    TSimulatedSensor a;
    TSimulatedSensor other(Faulty([](TSensorOptions &o) {
        o.DeviceType = 0x4242;
        o.Firmware = 0x0207;
    }));
    TSimulatedSensor held;
    TComPort holder;
    holder.SetPort(held.Path());
    holder.Open();
    TPtyPair nobody;
    const TCliRun run = RunCli({QStringLiteral("find"), a.Path(), other.Path(), held.Path(), nobody.SlavePath()});
    EXPECT_EQ(run.Code, ExitOk);
    EXPECT_EQ(run.OutLines(), QStringList({a.Path() + QStringLiteral(": sensor type 0x5451 firmware 0x0103"),
                                           other.Path() + QStringLiteral(": wrong device type (type 0x4242 firmware 0x0207)"),
                                           held.Path() + QStringLiteral(": busy (") + BusyText(held.Path()) + QLatin1Char(')'),
                                           nobody.SlavePath() + QStringLiteral(": no sensor"),
                                           QStringLiteral("1 of 4 ports have a sensor")}));
    EXPECT_EQ(a.Sensor().Requests(), Handshake() << Farewell());
    EXPECT_TRUE(held.Sensor().Requests().isEmpty());
    EXPECT_FALSE(a.Sensor().CommMode());

    const TCliRun none = RunCli({QStringLiteral("find"), nobody.SlavePath(), held.Path()});
    EXPECT_EQ(none.Code, ExitNoSensor);
}

} // namespace
