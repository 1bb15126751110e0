// One transaction through the kernel's tty layer against the simulated sensor.

#include "TestHost.h"

#include "protocol/Exchange.h"
#include "protocol/Frame.h"
#include "serial/ComError.h"
#include "tools/SimulatedSensor.h"

#include <gtest/gtest.h>


#include <algorithm>
#include <atomic>
#include <sys/resource.h>
#include <thread>

namespace {

const QByteArray IdRequest = BuildRequest(TCommand::ID);
const QByteArray IdReply = QByteArray::fromRawData("\x06\x08\x00\x51\x54\x03\x01\x17", 8);

/// Times this thread has slept (voluntary context switches).
long ThreadSleeps()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

QByteArray Front(const TReplyBuffer &buffer, quint32 count)
{
    return QByteArray(reinterpret_cast<const char *>(buffer.data()), count);
}

struct ExchangeTest : ::testing::Test {
    void Start(const TSensorOptions &options = {})
    {
        sensor = std::make_unique<TSimulatedSensor>(options);
        host.Open(sensor->Path());
    }
    /// Puts bytes on the line once the sensor has received `requests` requests.
    std::thread ReplyAfter(int requests, QByteArray bytes)
    {
        return std::thread([this, requests, bytes] {
            WaitFor([&] { return sensor->Sensor().Requests().size() >= requests; });
            sensor->Inject(bytes);
        });
    }

    /// Once the sensor has received `requests` requests, sends `bytes` in pieces at
    /// `bytesPerSecond`, each on its own schedule so that slow wake-ups do not add up; stops
    /// early when `stop` is set. Pieces are 10 ms of bytes unless `piece` is given.
    std::thread PacedAfterRequest(QByteArray bytes, int bytesPerSecond, const std::atomic<bool> &stop,
                                  int requests = 1, qsizetype piece = 0)
    {
        if (piece <= 0)
            piece = std::max(1, bytesPerSecond / 100);
        return std::thread([this, bytes, bytesPerSecond, &stop, requests, piece] {
            WaitFor([&] { return sensor->Sensor().Requests().size() >= requests; });
            QElapsedTimer clock;
            clock.start();
            for (qsizetype at = 0; at < bytes.size() && !stop; at += piece) {
                const qint64 due = at * 1000 / bytesPerSecond;
                if (due > clock.elapsed())
                    QThread::msleep(quint64(due - clock.elapsed()));
                sensor->Inject(bytes.mid(at, piece));
            }
        });
    }
    /// The largest reply the scanner accepts, behind two stray bytes.
    static QByteArray LargestReply()
    {
        QByteArray big(int(MaxResponseLength), '\x42');
        big[0] = char(FrameAck);
        big[1] = char(MaxResponseLength & 0xFF);
        big[2] = char(MaxResponseLength >> 8);
        big[big.size() - 1] = char(FrameEnd);
        return QByteArray("\x01\x02", 2) + big;
    }

    TTestHost host;
    std::unique_ptr<TSimulatedSensor> sensor;
    TReplyBuffer buffer{};
    quint32 count = 0;
};

TEST_F(ExchangeTest, StaleInputIsDiscardedBeforeTheRequest)
{
    Start();
    // A whole stale frame of another kind sits in the input before the transaction.
    const QByteArray stale = QByteArray::fromRawData("\x15\x04\x00\x17\x33", 5);
    sensor->Inject(stale);
    ASSERT_TRUE(WaitFor([&] { return host.ComPort().InputCount() == stale.size(); }));
    EXPECT_EQ(Exchange(host.Context, IdRequest, buffer, count), ExchangeOk);
    EXPECT_EQ(Front(buffer, count), IdReply);
    EXPECT_EQ(sensor->Sensor().Requests(), QList<QByteArray>{IdRequest});
}

TEST_F(ExchangeTest, StrayBytesAndNakComplete)
{
    TSensorOptions options;
    options.GarbageBytes = 7;
    options.NakCommand = int(TCommand::PING);
    Start(options);
    EXPECT_EQ(Exchange(host.Context, IdRequest, buffer, count), ExchangeOk);
    EXPECT_EQ(Front(buffer, count), IdReply);
    EXPECT_EQ(Exchange(host.Context, BuildRequest(TCommand::PING), buffer, count), ExchangeOk);
    EXPECT_EQ(Front(buffer, count), QByteArray::fromRawData("\x15\x04\x00\x17", 4));
}

TEST_F(ExchangeTest, FragmentedReplyOutlastingOnePeriodCompletes)
{
    TSensorOptions options;
    options.FragmentBytes = 1;
    options.FragmentGapMs = 50;
    Start(options);
    host.TimeoutTimer().SetInterval(200);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Exchange(host.Context, IdRequest, buffer, count), ExchangeOk);
    EXPECT_GE(clock.elapsed(), 300); // seven gaps: longer than one period
    EXPECT_EQ(Front(buffer, count), IdReply);
}

// A byte a line time: the wait sleeps through a chunk's worth of bytes instead of waking for
// each one, and the reply is still taken whole.
TEST_F(ExchangeTest, AReplyAtTheLineRateWakesTheWaitPerChunkNotPerByte)
{
    TSensorOptions options;
    options.SilentAfter = 0;
    Start(options);
    QByteArray reply(60, '\x42');
    reply[0] = char(FrameAck);
    reply[1] = char(reply.size());
    reply[2] = 0;
    reply[reply.size() - 1] = char(FrameEnd);
    std::atomic<bool> stop{false};
    std::thread peer = PacedAfterRequest(reply, 960, stop, 1, 1);
    const long sleepsBefore = ThreadSleeps();
    EXPECT_EQ(Exchange(host.Context, IdRequest, buffer, count), ExchangeOk);
    const long sleeps = ThreadSleeps() - sleepsBefore;
    peer.join();
    EXPECT_EQ(Front(buffer, count), reply);
    EXPECT_LT(sleeps, reply.size() / 3);
}

TEST_F(ExchangeTest, NoReplyTimesOutOnePeriodAfterTheWrite)
{
    TSensorOptions options;
    options.SilentAfter = 0;
    Start(options);
    host.TimeoutTimer().SetInterval(80);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Exchange(host.Context, IdRequest, buffer, count), ExchangeTimedOut);
    EXPECT_GE(clock.elapsed(), 80);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(host.Context.TimedOut);
    EXPECT_FALSE(host.TimeoutTimer().Enabled());
    EXPECT_EQ(sensor->Sensor().Requests(), QList<QByteArray>{IdRequest});
}

// A success leaves the countdown running; the next transaction enables the timer again, which
// does not restart it, so a silent reply times out when the old countdown ends.
TEST_F(ExchangeTest, SecondExchangeTimesOutWhenThePreviousCountdownEnds)
{
    TSensorOptions options;
    options.SilentAfter = 1;
    Start(options);
    constexpr int interval = 600;
    host.TimeoutTimer().SetInterval(interval);
    QStringList order;
    host.TimeoutTimer().SetOnTimer([&](QObject *sender) {
        order << QStringLiteral("time-out");
        tmrTimeoutTimer(host.Context, sender);
    });
    ASSERT_EQ(Exchange(host.Context, IdRequest, buffer, count), ExchangeOk);
    ASSERT_TRUE(host.TimeoutTimer().Enabled());

    // The old countdown has two thirds of a period left; a restarted one would end a full
    // period from now, behind a reference deadline at nine tenths.
    QThread::msleep(interval / 3);
    QTimer reference;
    reference.setSingleShot(true);
    reference.setTimerType(Qt::PreciseTimer);
    QObject::connect(&reference, &QTimer::timeout, [&] { order << QStringLiteral("reference"); });
    reference.start(interval * 9 / 10);
    EXPECT_EQ(Exchange(host.Context, IdRequest, buffer, count), ExchangeTimedOut);
    EXPECT_EQ(order.value(0), QStringLiteral("time-out"));
    EXPECT_EQ(sensor->Sensor().Requests().size(), 2);
}

TEST_F(ExchangeTest, EventsAreHandledWhileWaiting)
{
    TSensorOptions options;
    options.ProcessingDelayMs = 150;
    Start(options);
    bool handled = false;
    During(10, [&] { handled = true; });
    EXPECT_EQ(Exchange(host.Context, IdRequest, buffer, count), ExchangeOk);
    EXPECT_TRUE(handled);
}

TEST_F(ExchangeTest, NoiseKeepsTheWaitGoingUntilTheLineIsQuiet)
{
    TSensorOptions options;
    options.SilentAfter = 0;
    Start(options);
    host.TimeoutTimer().SetInterval(150); // well above a 30 ms gap on a loaded machine
    std::atomic<bool> done{false};
    std::thread noise([&] {
        WaitFor([&] { return !sensor->Sensor().Requests().isEmpty(); });
        for (int i = 0; i < 12; ++i) {
            sensor->Inject(QByteArray(1, '\x55'));
            QThread::msleep(30);
        }
        done = true;
    });
    EXPECT_EQ(Exchange(host.Context, IdRequest, buffer, count), ExchangeTimedOut);
    EXPECT_TRUE(done); // the noise lasted 360 ms, more than two periods
    noise.join();
}

TEST_F(ExchangeTest, LargestFrameIsReceivedWhole)
{
    TSensorOptions options;
    options.SilentAfter = 0;
    Start(options);
    const QByteArray reply = LargestReply();
    std::thread peer = ReplyAfter(1, reply);
    EXPECT_EQ(Exchange(host.Context, IdRequest, buffer, count), ExchangeOk);
    peer.join();
    EXPECT_EQ(Front(buffer, count), reply.mid(2));
}

// The silence alone never ends a flood; the longest reply at the line rate plus one period does.
TEST_F(ExchangeTest, AFloodThatFormsNoFrameEndsAsATimeOut)
{
    TSensorOptions options;
    options.SilentAfter = 0;
    Start(options);
    host.ComPort().SetBaudRate(br115200); // 8N1: the largest reply takes 1303 ms
    host.TimeoutTimer().SetInterval(200);
    std::atomic<bool> stop{false};
    std::thread flood = PacedAfterRequest(QByteArray(200000, '\0'), 11520, stop);
    QElapsedTimer clock;
    clock.start();
    const int result = Exchange(host.Context, IdRequest, buffer, count);
    const qint64 elapsed = clock.elapsed();
    stop = true;
    flood.join();
    EXPECT_EQ(result, ExchangeTimedOut);
    EXPECT_GE(elapsed, 1303 + 200);
    EXPECT_LT(elapsed, 1303 + 200 + 1500);
}

// At 115200 baud, and at the sensor's own 9600 baud in real time: 15.6 s of reply within 16.6 s.
TEST_F(ExchangeTest, TheLargestReplyAtTheLineRateStillCompletes)
{
    TSensorOptions options;
    options.SilentAfter = 0;
    Start(options);
    const QByteArray reply = LargestReply();
    const struct {
        TBaudRate Rate;
        int BytesPerSecond; // 8N1: ten bits a byte
        int Interval;
    } lines[] = {{br115200, 11520, 500}, {br9600, 960, DefaultTimerInterval}};
    int requests = 0;
    for (const auto &line : lines) {
        SCOPED_TRACE(line.BytesPerSecond);
        host.ComPort().SetBaudRate(line.Rate);
        host.TimeoutTimer().SetInterval(line.Interval);
        std::atomic<bool> stop{false};
        std::thread peer = PacedAfterRequest(reply, line.BytesPerSecond, stop, ++requests);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(Exchange(host.Context, IdRequest, buffer, count), ExchangeOk);
        EXPECT_GE(clock.elapsed(), 15000 * 1000 / line.BytesPerSecond - 100);
        peer.join();
        EXPECT_EQ(Front(buffer, count), reply.mid(2));
    }
}

TEST_F(ExchangeTest, OversizedNoiseNeverOverrunsTheBuffer)
{
    TSensorOptions options;
    options.SilentAfter = 0;
    Start(options);
    host.TimeoutTimer().SetInterval(100);
    // A frame start claiming the largest length whose end byte is wrong, then more noise.
    QByteArray noise(int(MaxResponseLength) + 5000, '\0');
    noise[0] = char(FrameAck);
    noise[1] = char(MaxResponseLength & 0xFF);
    noise[2] = char(MaxResponseLength >> 8);
    noise[20] = char(FrameNak); // a second long candidate inside the first
    noise[21] = char(0xFF);
    noise[22] = char(0x3A);
    std::thread peer = ReplyAfter(1, noise);
    EXPECT_EQ(Exchange(host.Context, IdRequest, buffer, count), ExchangeTimedOut);
    peer.join();
    EXPECT_LT(count, MaxResponseLength);
}

TEST_F(ExchangeTest, PortVanishingMidTransactionRaises)
{
    TSensorOptions options;
    options.SilentAfter = 0;
    Start(options);
    During(30, [&] { sensor->Unplug(); });
    EXPECT_THROW(Exchange(host.Context, IdRequest, buffer, count), EComPort);
}

TEST_F(ExchangeTest, WriteOfNothingFailsWithoutWaiting)
{
    Start();
    host.TimeoutTimer().SetInterval(60000);
    EXPECT_EQ(Exchange(host.Context, QByteArray(), buffer, count), ExchangeNotSent);
    EXPECT_EQ(count, 0u);
}

} // namespace
