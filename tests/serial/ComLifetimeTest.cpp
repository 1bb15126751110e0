// The port's threads against each other: a close that a handler on the event thread asked
// for, run while the application thread closes, opens or destroys the port; and a delivery
// served by Close whose handler leaves a write running in the background. A slow
// OnBeforeClose holds each window open; the sanitizer builds see what a plain run cannot.

#include "PtyPair.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <atomic>
#include <memory>
#include <thread>

namespace {

/// A port whose first received byte makes its smNone handler close it; the close then takes
/// SlowMs in OnBeforeClose on the event thread.
struct SelfClosingPort {
    std::atomic<int> Asked{0}, BeforeClose{0}, AfterClose{0};
    std::atomic<bool> InBeforeClose{false};
    PtyPair Pty;
    std::unique_ptr<TComPort> Port = std::make_unique<TComPort>();

    explicit SelfClosingPort(int SlowMs)
    {
        Port->SetPort(Pty.Slave());
        Port->SetSyncMethod(smNone);
        Port->OnRxChar = [this](QObject *Sender, int) {
            ++Asked;
            static_cast<TCustomComPort *>(Sender)->Close();
        };
        Port->OnBeforeClose = [this, SlowMs](QObject *) {
            InBeforeClose = true;
            QThread::msleep(SlowMs);
            ++BeforeClose;
            InBeforeClose = false;
        };
        Port->OnAfterClose = [this](QObject *) { ++AfterClose; };
    }
};

} // namespace

TEST(ComLifetime, ApplicationThreadWaitsForACloseRunningOnTheEventThread)
{
    // Destroyed meanwhile: the destructor returns only once that close has finished.
    {
        SelfClosingPort s(300);
        s.Port->Open();
        s.Pty.Send("x");
        ASSERT_TRUE(WaitFor([&] { return s.InBeforeClose.load(); }));
        s.Port.reset();
        EXPECT_EQ(s.BeforeClose, 1);
        EXPECT_EQ(s.AfterClose, 1);
    }
    // Closed and opened again meanwhile: the close is the event thread's, the open a new
    // session that stays open.
    {
        SelfClosingPort s(100);
        s.Port->Open();
        s.Pty.Send("x");
        ASSERT_TRUE(WaitFor([&] { return s.InBeforeClose.load(); }));
        s.Port->Close();
        EXPECT_FALSE(s.Port->Connected());
        EXPECT_EQ(s.AfterClose, 1);
        s.Port->Open();
        EXPECT_TRUE(s.Port->Connected());
        s.Port->Close();
        EXPECT_EQ(s.BeforeClose, 2);
        EXPECT_EQ(s.AfterClose, 2);
    }
}

TEST(ComLifetime, OpenWithAByteWaitingCompletesBeforeItsHandlerClosesThePort)
{
    // The byte is there before the open: the new event thread hears it at once and its
    // handler asks to close the port while a slow OnAfterOpen still holds Open up.
    SelfClosingPort s(0);
    std::atomic<int> openInAfterOpen{0};
    s.Port->OnAfterOpen = [&](QObject *Sender) {
        QThread::msleep(10);
        openInAfterOpen += static_cast<TCustomComPort *>(Sender)->Handle() >= 0;
    };
    int opens = 0;
    for (int i = 0; i < 40; ++i) {
        s.Pty.Send("x");
        ASSERT_NO_THROW(s.Port->Open()) << "open " << i;
        ++opens;
        ASSERT_TRUE(WaitFor([&] { return s.AfterClose == opens; })) << "open " << i;
        EXPECT_FALSE(s.Port->Connected());
        EXPECT_EQ(s.Port->Handle(), -1);
    }
    EXPECT_EQ(s.Asked, opens);
    EXPECT_EQ(s.BeforeClose, opens);
    EXPECT_EQ(openInAfterOpen, opens);
    // Without a byte the session stays.
    s.Port->Open();
    QThread::msleep(50);
    EXPECT_TRUE(s.Port->Connected());
}

TEST(ComLifetime, WriteLeftRunningByADeliveryThatCloseServedOutlivesTheEventSource)
{
    PtyPair pty;
    std::atomic<bool> draining{true};
    const int master = pty.Master();
    std::thread drain([&] {
        char buf[256];
        while (draining) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 5) > 0 && ::read(master, buf, sizeof buf) <= 0)
                QThread::msleep(1); // a slow far end: the write stays in the background
            QThread::usleep(300);
        }
    });
    const std::string block(256 * 1024, 'w');
    for (int i = 0; i < 8; ++i) {
        TComPort port;
        port.SetPort(pty.Slave());
        PAsync write = nullptr;
        InitAsync(write);
        port.OnRxChar = [&](QObject *, int) { port.WriteAsync(block.data(), int(block.size()), write); };
        port.Open();
        pty.Send("z");
        ASSERT_TRUE(WaitQueued(port, 1));
        QThread::msleep(20); // the event thread now waits for the port's thread
        port.Close();        // serves the delivery; its write goes on in the background
        EXPECT_FALSE(port.Connected());
        DoneAsync(write);
    }
    draining = false;
    drain.join();
}
