// The transaction's wait must sleep, also on a descriptor that stays readable with nothing to read.

#include "TestHost.h"

#include "protocol/PortWaiter.h"
#include "tests/serial/FakeBackend.h"
#include "tools/Pty.h"

#include <gtest/gtest.h>

#include <thread>
#include <unistd.h>

namespace {

TEST(PortWaiter, ReadableButEmptyInputDoesNotSpin)
{
    EnsureApplication();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "x", 1), 1); // never read: the descriptor stays readable
    int passes = 0;
    {
        TPortWaiter waiter(fds[0]);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 100) {
            if (waiter.Wait(true))
                waiter.Rest(); // as the transaction does when its read finds nothing
            ++passes;
        }
    }
    close(fds[0]);
    close(fds[1]);
    // Resting 10 ms after each such wake allows a few dozen passes; spinning, many thousands.
    EXPECT_LT(passes, 200);
}

TEST(PortWaiter, WakesForInput)
{
    EnsureApplication();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    TPortWaiter waiter(fds[0]);
    std::thread writer([&] {
        QThread::msleep(20);
        [[maybe_unused]] ssize_t n = write(fds[1], "x", 1);
    });
    // Each pass sleeps until something happens; the event loop may wake for its own reasons,
    // so wait for the pass that reports the input (no timer is running; the bound is a guard).
    QElapsedTimer clock;
    clock.start();
    bool woken = false;
    while (!woken && clock.elapsed() < 5000)
        woken = waiter.Wait(true);
    writer.join();
    EXPECT_TRUE(woken);
    char c = 0;
    EXPECT_EQ(read(fds[0], &c, 1), 1);
    close(fds[0]);
    close(fds[1]);
}

} // namespace

namespace {

TEST(PortWaiter, PausedWatchLetsGoOnceInputWakesIt)
{
    EnsureApplication();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    {
        TPortWaiter waiter(fds[0]);
        waiter.Pause();
        ASSERT_EQ(write(fds[1], "x", 1), 1); // stray input between transactions, never read
        QElapsedTimer clock;
        clock.start();
        bool woken = false;
        while (!woken && clock.elapsed() < 5000)
            woken = waiter.Wait(true);
        EXPECT_TRUE(woken);
        // The descriptor stays readable, but nothing watches it until the next transaction.
        for (int i = 0; i < 10; ++i)
            EXPECT_FALSE(waiter.Wait(false));
        waiter.Resume();
        EXPECT_TRUE(waiter.Wait(false) || waiter.Wait(true));
    }
    close(fds[0]);
    close(fds[1]);
}

// A device the event loop cannot wait on (a Windows COM handle) is looked at every millisecond:
// the waiter hears of input within a look or two, wakes for nothing else (every empty wake made
// the transaction rest ten milliseconds), and the looking stops between transactions.
TEST(PortWaiter, APolledDeviceWakesOnlyForInputAndIsNotLookedAtWhilePaused)
{
    EnsureApplication();
    struct TNoReadinessBackend : FakeBackend {
        int InputReadyFd(int) override { return -1; }
    };
    auto device = std::make_shared<TNoReadinessBackend>();
    TComPort port;
    port.SetBackend(device);
    port.Open();
    std::shared_ptr<TPortWaiter> waiter = TPortWaiter::ForPort(port);
    EXPECT_TRUE(port.InputWatchPolls());
    ASSERT_TRUE(port.WatchingInput());

    QTimer tick; // ends each sleeping pass, as the time-out timer would
    tick.setInterval(5);
    tick.start();
    QElapsedTimer clock;
    clock.start();
    int emptyWakes = 0;
    while (clock.elapsed() < 60)
        emptyWakes += waiter->Wait(true);
    EXPECT_EQ(emptyWakes, 0);
    EXPECT_GT(device->InputCountCalls.load(), 10); // it did look

    device->Queued = 3;
    clock.restart();
    bool woken = false;
    while (!woken && clock.elapsed() < 1000)
        woken = waiter->Wait(true);
    EXPECT_TRUE(woken);

    waiter->Pause();
    EXPECT_FALSE(port.WatchingInput());
    const int looks = device->InputCountCalls.load();
    clock.restart();
    while (clock.elapsed() < 30)
        waiter->Wait(true);
    EXPECT_EQ(device->InputCountCalls.load(), looks);
    waiter->Resume();
    EXPECT_TRUE(port.WatchingInput());
    port.Close();
}

TEST(PortWaiter, PortKeepsOneWaiterPerOpenSession)
{
    TTestHost host;
    TPtyPair pty;
    host.Open(pty.SlavePath());
    TCustomComPort &port = host.ComPort();
    std::shared_ptr<TPortWaiter> first = TPortWaiter::ForPort(port);
    EXPECT_EQ(TPortWaiter::ForPort(port), first);
    EXPECT_TRUE(port.WatchingInput());
    port.Close();
    // Let go before the descriptor was closed: nothing may watch a number that can be reused.
    EXPECT_TRUE(first->Released());
    port.Open();
    std::shared_ptr<TPortWaiter> second = TPortWaiter::ForPort(port);
    EXPECT_NE(second, first);
    EXPECT_FALSE(second->Released());
    EXPECT_TRUE(port.WatchingInput());
    port.Close();
}

} // namespace
