// The eleven commands against the simulated sensor: request bytes, decoded fields, messages.

#include "TestHost.h"

#include "protocol/Commands.h"
#include "protocol/FieldText.h"
#include "tools/SimulatedSensor.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <thread>

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

QString Failed(const char *name)
{
    return QStringLiteral("Error: Ошибка при команде %1: ошибка выполнения команды.").arg(QLatin1String(name));
}

QString Nak(const char *name)
{
    return QStringLiteral("Error: Ошибка при команде %1: получен негативный ответ.").arg(QLatin1String(name));
}

struct CommandsTest : ::testing::Test {
    static void SetUpTestSuite() { QLocale::setDefault(QLocale::c()); }

    void Start(const TSensorOptions &options = {})
    {
        sensor = std::make_unique<TSimulatedSensor>(options);
        host.Open(sensor->Path());
    }
    QByteArray LastRequest() const { return sensor->Sensor().Requests().value(sensor->Sensor().Requests().size() - 1); }
    /// The sensor stays silent; `reply` goes on the line after its first request.
    int WithReply(const QByteArray &reply, const std::function<int()> &command)
    {
        TSensorOptions options;
        options.SilentAfter = 0;
        Start(options);
        std::thread peer([&] {
            WaitFor([&] { return !sensor->Sensor().Requests().isEmpty(); });
            sensor->Inject(reply);
        });
        const int result = command();
        peer.join();
        return result;
    }

    TTestHost host;
    std::unique_ptr<TSimulatedSensor> sensor;
};

TEST_F(CommandsTest, ReadingFillsEveryFieldFromTheSensor)
{
    Start();
    EXPECT_EQ(DevInertTWork(host.Context, false), 0);
    EXPECT_EQ(LastRequest(), Bytes({27, 4, 9, 23}));
    EXPECT_EQ(DevInertTCalib(host.Context, false), 0);
    EXPECT_EQ(DevCalStabTime(host.Context, false), 0);
    EXPECT_EQ(DevInpFltTime(host.Context, false), 0);
    EXPECT_EQ(DevHystWidth(host.Context, false), 0);
    EXPECT_EQ(DevCalOn(host.Context, false), 0);
    EXPECT_EQ(LastRequest(), Bytes({27, 4, 4, 23}));
    EXPECT_EQ(DevCalOff(host.Context, false), 0);
    EXPECT_EQ(LastRequest(), Bytes({27, 4, 5, 23}));
    const QList<QByteArray> expected = {Bytes({27, 4, 9, 23}), Bytes({27, 4, 8, 23}), Bytes({27, 4, 6, 23}),
                                        Bytes({27, 4, 10, 23}), Bytes({27, 4, 7, 23}), Bytes({27, 4, 4, 23}),
                                        Bytes({27, 4, 5, 23})};
    EXPECT_EQ(sensor->Sensor().Requests(), expected);
    const TSensorParams p = sensor->Sensor().Params();
    EXPECT_EQ(host.FieldText(dfInertWork), FormatU16(p.InertWork));
    EXPECT_EQ(host.FieldText(dfInertCalib), FormatU16(p.InertCalib));
    EXPECT_EQ(host.FieldText(dfCalTime), FormatU16(p.CalTime));
    EXPECT_EQ(host.FieldText(dfInpFlt), FormatU16(p.InpFlt));
    EXPECT_EQ(host.FieldText(dfHystWidth), "5");
    EXPECT_EQ(host.FieldText(dfCalOn), FormatU16(sensor->Sensor().CalOn()));
    EXPECT_NE(host.FieldText(dfCalOff), "0");
    EXPECT_TRUE(host.Boxes.isEmpty());
}

TEST_F(CommandsTest, WritingSendsLow16BitsAndShowsWhatTheSensorKept)
{
    TSensorOptions options;
    options.Clamp = true;
    Start(options);
    host.SetFieldText(dfInertWork, "300");
    EXPECT_EQ(DevInertTWork(host.Context, true), 0);
    EXPECT_EQ(LastRequest(), Bytes({27, 6, 9, 44, 1, 23}));
    EXPECT_EQ(host.FieldText(dfInertWork), "300");

    host.SetFieldText(dfInpFlt, "65538"); // low 16 bits: 2, below the sensor's limit
    EXPECT_EQ(DevInpFltTime(host.Context, true), 0);
    EXPECT_EQ(LastRequest(), Bytes({27, 6, 10, 2, 0, 23}));
    EXPECT_EQ(host.FieldText(dfInpFlt), "5");

    host.SetFieldText(dfInertCalib, "-1");
    EXPECT_EQ(DevInertTCalib(host.Context, true), 0);
    EXPECT_EQ(LastRequest(), Bytes({27, 6, 8, 255, 255, 23}));
    EXPECT_EQ(host.FieldText(dfInertCalib), "65535");

    host.SetFieldText(dfCalTime, "40");
    EXPECT_EQ(DevCalStabTime(host.Context, true), 0);
    EXPECT_EQ(LastRequest(), Bytes({27, 6, 6, 40, 0, 23}));

    host.SetFieldText(dfHystWidth, "5");
    EXPECT_EQ(DevHystWidth(host.Context, true), 0);
    EXPECT_EQ(LastRequest(), Bytes({27, 8, 7, 0, 0, 160, 64, 23}));
    host.SetFieldText(dfHystWidth, "0.1");
    EXPECT_EQ(DevHystWidth(host.Context, true), 0);
    EXPECT_EQ(host.FieldText(dfHystWidth), "1");
    host.SetFieldText(dfHystWidth, "2.3");
    EXPECT_EQ(DevHystWidth(host.Context, true), 0);
    EXPECT_EQ(host.FieldText(dfHystWidth), "2.29999995231628");
    EXPECT_TRUE(host.Boxes.isEmpty());
}

TEST_F(CommandsTest, TextThatIsNoNumberRaisesBeforeAnythingIsSent)
{
    Start();
    host.SetFieldText(dfInertWork, "");
    EXPECT_THROW(DevInertTWork(host.Context, true), EConvertError);
    host.SetFieldText(dfHystWidth, "abc");
    EXPECT_THROW(DevHystWidth(host.Context, true), EConvertError);
    host.SetFieldText(dfCalTime, "x");
    EXPECT_THROW(DevCalOn(host.Context, true), EConvertError);
    EXPECT_EQ(host.TimeoutTimer().Interval(), DefaultTimerInterval);
    EXPECT_TRUE(sensor->Sensor().Requests().isEmpty());
}

// No sensor setting is NaN or infinite: such a text, or one beyond single precision, is a
// conversion error before the request, never a frame of its own.
TEST_F(CommandsTest, NonFiniteHysteresisIsNeverSent)
{
    Start();
    for (const char *text : {"nan", "NAN", "inf", "-inf", "1e39", "-1e39"}) {
        SCOPED_TRACE(text);
        host.SetFieldText(dfHystWidth, text);
        try {
            DevHystWidth(host.Context, true);
            ADD_FAILURE() << "sent";
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("'%1' is not a valid floating point value").arg(QLatin1String(text)));
        }
    }
    EXPECT_TRUE(sensor->Sensor().Requests().isEmpty());

    // The largest single value and anything that rounds onto it still go out.
    host.SetFieldText(dfHystWidth, "3.4028235e38");
    EXPECT_EQ(DevHystWidth(host.Context, true), 0);
    EXPECT_EQ(LastRequest(), Bytes({27, 8, 7, 0xFF, 0xFF, 0x7F, 0x7F, 23}));
}

TEST_F(CommandsTest, NakLeavesTheFieldAndShowsItsMessage)
{
    TSensorOptions options;
    options.NakCommand = int(TCommand::CMD_SET_HYST_WIDTH);
    Start(options);
    host.SetFieldText(dfHystWidth, "7");
    EXPECT_EQ(DevHystWidth(host.Context, true), -1);
    EXPECT_EQ(host.FieldText(dfHystWidth), "7");
    EXPECT_EQ(host.Boxes, QStringList{Nak("CMD_SET_HYST_WIDTH")});
}

TEST_F(CommandsTest, LongNakIsStillANak)
{
    const QByteArray nak = Bytes({21, 9, 0, 1, 2, 3, 4, 5, 23});
    quint16 type = 7, version = 8;
    EXPECT_EQ(WithReply(nak, [&] { return DevId(host.Context, type, version); }), -1);
    EXPECT_EQ(type, 7);
    EXPECT_EQ(version, 8);
    EXPECT_EQ(host.Boxes, QStringList{Nak("ID")});
}

TEST_F(CommandsTest, TimeOutShowsTheFailureAndReturnsTwo)
{
    TSensorOptions options;
    options.SilentAfter = 0;
    Start(options);
    host.TimeoutTimer().SetInterval(40);
    EXPECT_EQ(DevCalOff(host.Context, false), ExchangeTimedOut);
    EXPECT_EQ(DevSaveConf(host.Context), ExchangeTimedOut);
    EXPECT_EQ(host.FieldText(dfCalOff), "0");
    EXPECT_EQ(host.Boxes, (QStringList{Failed("CMD_CAL_OFF"), Failed("SAVE_CONF")}));
}

// An ACK too short for the command's value answered another command: it is no answer, and the
// command fails with its own message once the time-out has passed.
TEST_F(CommandsTest, ShortAckIsNoAnswerAndTheCommandFails)
{
    quint16 type = 7, version = 8;
    host.TimeoutTimer().SetInterval(150);
    // Long enough for the type, too short for the version.
    EXPECT_EQ(WithReply(Bytes({6, 6, 0, 81, 84, 23}), [&] { return DevId(host.Context, type, version); }), ExchangeTimedOut);
    EXPECT_EQ(type, 7);
    EXPECT_EQ(version, 8);
    EXPECT_EQ(host.Boxes, QStringList{Failed("ID")});
}

TEST_F(CommandsTest, ShortAckLeavesAParameterField)
{
    host.SetFieldText(dfHystWidth, "9");
    host.TimeoutTimer().SetInterval(150);
    EXPECT_EQ(WithReply(Bytes({6, 6, 0, 0, 0, 23}), [&] { return DevHystWidth(host.Context, false); }), ExchangeTimedOut);
    EXPECT_EQ(host.FieldText(dfHystWidth), "9");
    EXPECT_EQ(host.Boxes, QStringList{Failed("CMD_SET_HYST_WIDTH")});
}

// The empty ACK of an earlier COMM_MODE or PING is passed over: the command's own reply behind
// it is taken.
TEST_F(CommandsTest, EmptyAckBeforeTheReplyIsPassedOver)
{
    EXPECT_EQ(WithReply(Bytes({6, 4, 0, 23, 6, 6, 0, 30, 0, 23}), [&] { return DevInertTWork(host.Context, false); }), 0);
    EXPECT_EQ(host.FieldText(dfInertWork), "30");
    EXPECT_TRUE(host.Boxes.isEmpty());
}

TEST_F(CommandsTest, LongerAckTakesTheValueAtItsOffset)
{
    EXPECT_EQ(WithReply(Bytes({6, 8, 0, 30, 0, 99, 99, 23}), [&] { return DevInertTWork(host.Context, false); }), 0);
    EXPECT_EQ(host.FieldText(dfInertWork), "30");
}

TEST_F(CommandsTest, IdReportsTypeAndVersion)
{
    TSensorOptions options;
    options.DeviceType = 0x1234;
    options.Firmware = 259;
    Start(options);
    quint16 type = 0, version = 0;
    EXPECT_EQ(DevId(host.Context, type, version), 0);
    EXPECT_EQ(LastRequest(), Bytes({27, 4, 2, 23}));
    EXPECT_EQ(type, 0x1234);
    EXPECT_EQ(version, 259);
}

TEST_F(CommandsTest, SaveConfStatus)
{
    Start();
    host.SetFieldText(dfInertWork, "77");
    ASSERT_EQ(DevInertTWork(host.Context, true), 0);
    EXPECT_EQ(DevSaveConf(host.Context), 0);
    EXPECT_EQ(LastRequest(), Bytes({27, 4, 3, 23}));
    EXPECT_EQ(sensor->Sensor().Saved().InertWork, 77);
    EXPECT_TRUE(host.Boxes.isEmpty());
}

TEST_F(CommandsTest, SaveConfInternalError)
{
    TSensorOptions options;
    options.SaveConfError = true;
    Start(options);
    EXPECT_EQ(DevSaveConf(host.Context), -1);
    EXPECT_EQ(host.Boxes, QStringList{"Error: Ошибка при команде SAVE_CONF: внутренняя ошибка устройства."});
}

TEST_F(CommandsTest, CalibrationWaitsForTheAveragingTimeAndRestoresTheInterval)
{
    Start();
    host.SetFieldText(dfCalTime, "60");
    ASSERT_EQ(DevCalStabTime(host.Context, true), 0); // the sensor now averages for 60 ms
    host.TimeoutTimer().SetInterval(20); // shorter than the calibration: only the new interval lets it finish
    int during = 0;
    During(5, [&] { during = host.TimeoutTimer().Interval(); });
    EXPECT_EQ(DevCalOn(host.Context, true), 0);
    EXPECT_EQ(LastRequest(), Bytes({27, 5, 4, 1, 23}));
    EXPECT_EQ(during, 80);
    EXPECT_EQ(host.TimeoutTimer().Interval(), 20);
    EXPECT_EQ(host.FieldText(dfCalOn), FormatU16(sensor->Sensor().CalOn()));
    EXPECT_GT(sensor->Sensor().CalOn(), 2000);
}

TEST_F(CommandsTest, FailedCalibrationPutsTheIntervalBackBeforeItsBox)
{
    TSensorOptions options;
    options.SilentAfter = 0;
    Start(options);
    host.SetFieldText(dfCalTime, "10");
    host.TimeoutTimer().SetInterval(300);
    EXPECT_EQ(DevCalOn(host.Context, true), ExchangeTimedOut);
    EXPECT_EQ(DevCalOff(host.Context, true), ExchangeTimedOut);
    EXPECT_EQ(host.Boxes, (QStringList{Failed("CMD_CAL_ON"), Failed("CMD_CAL_OFF")}));
    EXPECT_EQ(host.BoxIntervals, (QList<int>{300, 300}));
}

TEST_F(CommandsTest, NegativeAveragingTimeWaitsOnePeriod)
{
    Start();
    host.SetFieldText(dfCalTime, "10");
    ASSERT_EQ(DevCalStabTime(host.Context, true), 0);
    host.SetFieldText(dfCalTime, "-50"); // as a settings file may leave it
    host.TimeoutTimer().SetInterval(300);
    int during = 0;
    During(5, [&] { during = host.TimeoutTimer().Interval(); });
    EXPECT_EQ(DevCalOff(host.Context, true), 0);
    EXPECT_EQ(during, 300);
    EXPECT_EQ(host.TimeoutTimer().Interval(), 300);
}

TEST_F(CommandsTest, CommModeUsesA50msWindowAndAlwaysSucceeds)
{
    TSensorOptions options;
    options.SilentAfter = 1;
    Start(options);
    EXPECT_EQ(DevCommMode(host.Context, 1), 0);
    EXPECT_TRUE(sensor->Sensor().CommMode());
    // Its window ends before a reference deadline well beyond 50 ms, however late a loaded
    // machine delivers both: ticks that are due come in the order of their deadlines.
    QStringList order;
    host.TimeoutTimer().SetOnTimer([&](QObject *sender) {
        order << QStringLiteral("window");
        tmrTimeoutTimer(host.Context, sender);
    });
    QTimer reference;
    reference.setSingleShot(true);
    reference.setTimerType(Qt::PreciseTimer);
    QObject::connect(&reference, &QTimer::timeout, [&] { order << QStringLiteral("reference"); });
    QElapsedTimer clock;
    clock.start();
    reference.start(250);
    EXPECT_EQ(DevCommMode(host.Context, 0), 0); // no answer any more
    EXPECT_GE(clock.elapsed(), 50);
    EXPECT_EQ(order.value(0), QStringLiteral("window"));
    EXPECT_EQ(sensor->Sensor().Requests(), (QList<QByteArray>{Bytes({27, 5, 0, 1, 23}), Bytes({27, 5, 0, 0, 23})}));
    EXPECT_EQ(host.TimeoutTimer().Interval(), DefaultTimerInterval);
    EXPECT_TRUE(host.Boxes.isEmpty());
}

} // namespace
