// Several conversations at once, each in its own sensor context with its own port, time-out
// and fields: contexts sharing one thread, and contexts on threads of their own.

#include "TestHost.h"

#include "protocol/Commands.h"
#include "tools/SimulatedSensor.h"

#include <gtest/gtest.h>

#include <QThread>
#include <memory>
#include <mutex>

namespace {

TSensorOptions Firmware(quint16 version, int processingDelayMs = 0)
{
    TSensorOptions options;
    options.Firmware = version;
    options.ProcessingDelayMs = processingDelayMs;
    return options;
}

TSensorOptions Silent()
{
    TSensorOptions options;
    options.SilentAfter = 0;
    return options;
}

} // namespace

TEST(SensorContext, TwoContextsOnOneThreadKeepTheirSensorsFieldsAndTimeOutsApart)
{
    TSimulatedSensor sensorA(Firmware(0x0101)), sensorB(Firmware(0x0202));
    TTestHost a, b;
    a.Open(sensorA.Path());
    b.Open(sensorB.Path());

    // In turn: each value goes to its own sensor and comes back into its own field.
    a.SetFieldText(dfInertWork, QStringLiteral("25"));
    b.SetFieldText(dfInertWork, QStringLiteral("300"));
    ASSERT_EQ(DevInertTWork(a.Context, true), 0);
    ASSERT_EQ(DevInertTWork(b.Context, true), 0);
    a.SetFieldText(dfInertWork, QString());
    b.SetFieldText(dfInertWork, QString());
    EXPECT_EQ(DevInertTWork(a.Context, false), 0);
    EXPECT_EQ(DevInertTWork(b.Context, false), 0);
    EXPECT_EQ(a.FieldText(dfInertWork), QStringLiteral("25"));
    EXPECT_EQ(b.FieldText(dfInertWork), QStringLiteral("300"));
    quint16 type = 0, firmwareA = 0, firmwareB = 0;
    EXPECT_EQ(DevId(a.Context, type, firmwareA), 0);
    EXPECT_EQ(DevId(b.Context, type, firmwareB), 0);
    EXPECT_EQ(firmwareA, 0x0101);
    EXPECT_EQ(firmwareB, 0x0202);
    EXPECT_EQ(sensorA.Sensor().Requests().size(), 3);
    EXPECT_EQ(sensorB.Sensor().Requests().size(), 3);

    // Nested: b's command runs from an event inside a's wait on a silent sensor. a's time-out
    // falls within b's slow reply and must end a's wait only, after b's command has returned.
    TSimulatedSensor silent(Silent()), slow(Firmware(0x0303, 400));
    TTestHost c, d;
    c.Open(silent.Path());
    d.Open(slow.Path());
    c.TimeoutTimer().SetInterval(150);
    int nested = -1;
    quint16 firmwareD = 0;
    During(20, [&] { nested = DevId(d.Context, type, firmwareD); });
    QTimer guard; // c's lost tick would leave its wait asleep for good
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        ADD_FAILURE() << "c's time-out never reached c";
        c.Context.TimedOut = true;
    });
    guard.start(5000);
    EXPECT_EQ(DevId(c.Context, type, firmwareA), ExchangeTimedOut);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(firmwareD, 0x0303);
    EXPECT_TRUE(c.Context.TimedOut);
    EXPECT_FALSE(d.Context.TimedOut);
    EXPECT_EQ(c.Boxes.size(), 1);
    EXPECT_TRUE(d.Boxes.isEmpty());
}

TEST(SensorContext, ContextsOnTheirOwnThreadsTimeOutOnTheirOwn)
{
    EnsureApplication();
    TSimulatedSensor silent(Silent()), slow(Firmware(0x0404, 600));
    struct Outcome {
        int Result = -100;
        qint64 Ms = 0;
        quint16 Firmware = 0;
    } outcomes[2];
    std::mutex lock; // the hand-over to this thread, which QThread::wait alone does not show the tools
    auto conversation = [&](int i, const QString &path, int interval) {
        return QThread::create([&, i, path, interval] {
            TTestHost host;
            host.Open(path);
            host.TimeoutTimer().SetInterval(interval);
            quint16 type = 0;
            QElapsedTimer clock;
            clock.start();
            Outcome outcome;
            outcome.Result = DevId(host.Context, type, outcome.Firmware);
            outcome.Ms = clock.elapsed();
            const std::lock_guard guard(lock);
            outcomes[i] = outcome;
        });
    };
    // The silent line's 150 ms time-out passes while the other waits 600 ms for its reply.
    std::unique_ptr<QThread> threads[] = {std::unique_ptr<QThread>(conversation(0, silent.Path(), 150)),
                                         std::unique_ptr<QThread>(conversation(1, slow.Path(), 2000))};
    for (auto &thread : threads)
        thread->start();
    for (auto &thread : threads)
        ASSERT_TRUE(thread->wait(QDeadlineTimer(10000)));
    const std::lock_guard guard(lock);
    EXPECT_EQ(outcomes[0].Result, ExchangeTimedOut);
    EXPECT_LT(outcomes[0].Ms, outcomes[1].Ms);
    EXPECT_EQ(outcomes[1].Result, 0);
    EXPECT_GE(outcomes[1].Ms, 600);
    EXPECT_EQ(outcomes[1].Firmware, 0x0404);
}
