// The time-out timer's semantics. Deadlines are compared with reference timers running in the
// same event loop, so the checks hold however late a loaded machine delivers the ticks.

#include "TestHost.h"

#include "protocol/Timer.h"
#include "serial/ExceptionDisplay.h"

#include <QEventLoop>
#include <gtest/gtest.h>

namespace {

struct TimerTest : ::testing::Test {
    static void SetUpTestSuite() { EnsureApplication(); }
    void SetUp() override
    {
        timer.SetOnTimer([this](QObject *sender) {
            EXPECT_EQ(sender, &timer);
            order << QStringLiteral("timer");
            timer.SetEnabled(false);
        });
    }
    /// A reference event `ms` from now.
    void Mark(int ms, const QString &name)
    {
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, [this, name] { order << name; });
    }
    void RunFor(int ms)
    {
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, [this] { loop.quit(); });
        loop.exec();
    }

    TTimer timer;
    QEventLoop loop;
    QStringList order;
};

TEST_F(TimerTest, StartsDisabledWithTheDefaultInterval)
{
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000);
}

TEST_F(TimerTest, TicksOnlyThroughTheEventLoop)
{
    timer.SetInterval(1);
    timer.SetEnabled(true);
    QThread::msleep(20);
    EXPECT_TRUE(order.isEmpty());
    RunFor(30);
    EXPECT_EQ(order, QStringList{"timer"});
}

TEST_F(TimerTest, EnablingAnEnabledTimerKeepsItsCountdown)
{
    timer.SetInterval(100);
    timer.SetEnabled(true);
    QTimer::singleShot(60, Qt::PreciseTimer, &loop, [this] {
        timer.SetEnabled(true);
        Mark(80, "restarted"); // before a restarted countdown would end, after the running one
    });
    RunFor(200);
    EXPECT_EQ(order, (QStringList{"timer", "restarted"}));
}

TEST_F(TimerTest, DisableThenEnableStartsANewPeriod)
{
    timer.SetInterval(100);
    timer.SetEnabled(true);
    Mark(120, "first period");
    QTimer::singleShot(60, Qt::PreciseTimer, &loop, [this] {
        timer.SetEnabled(false);
        timer.SetEnabled(true);
    });
    RunFor(200);
    EXPECT_EQ(order, (QStringList{"first period", "timer"}));
}

TEST_F(TimerTest, ChangingTheIntervalStartsANewPeriod)
{
    timer.SetInterval(100);
    timer.SetEnabled(true);
    Mark(125, "old deadline");
    QTimer::singleShot(60, Qt::PreciseTimer, &loop, [this] {
        timer.SetInterval(100); // unchanged: no restart
        timer.SetInterval(75);
    });
    RunFor(200);
    EXPECT_EQ(order, (QStringList{"old deadline", "timer"}));
}

TEST_F(TimerTest, AShorterIntervalEndsThePeriodSooner)
{
    timer.SetInterval(1000);
    timer.SetEnabled(true);
    QTimer::singleShot(20, Qt::PreciseTimer, &loop, [this] {
        timer.SetInterval(50);
        Mark(150, "long after the short period");
    });
    RunFor(300);
    EXPECT_EQ(order, (QStringList{"timer", "long after the short period"}));
}

TEST_F(TimerTest, DisabledOrNonPositiveNeverTicks)
{
    timer.SetInterval(10);
    timer.SetEnabled(true);
    timer.SetEnabled(false);
    RunFor(50);
    timer.SetInterval(0);
    timer.SetEnabled(true);
    RunFor(30);
    timer.SetInterval(-5);
    RunFor(30);
    EXPECT_TRUE(order.isEmpty());
}

TEST_F(TimerTest, HandlerExceptionGoesToTheExceptionDisplay)
{
    QStringList shown;
    SetExceptionDisplay([&](const QString &message) { shown << message; });
    timer.SetOnTimer([this](QObject *) {
        timer.SetEnabled(false);
        throw Exception(QStringLiteral("boom"));
    });
    timer.SetInterval(1);
    timer.SetEnabled(true);
    RunFor(30);
    SetExceptionDisplay({});
    EXPECT_EQ(shown, QStringList{"boom"});
}

} // namespace
