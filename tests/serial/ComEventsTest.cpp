// Line events: dispatch order in every delivery mode, open/close reports, received data
// and links, and the event thread's life (edge-like input, hang-up, close while delivering).

#include "FakeBackend.h"
#include "PtyPair.h"
#include "TestSupport.h"

#include "serial/ExceptionDisplay.h"

#include <QCoreApplication>
#include <QStringList>
#include <atomic>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QStringList &List, std::ostream *Out)
{
    *Out << '[' << List.join(QStringLiteral(", ")).toStdString() << ']';
}
QT_END_NAMESPACE

namespace {

const TSyncMethod Modes[] = {smThreadSync, smWindowSync, smNone};

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

/// A thread-safe record of what happened, in order. Held as plain strings: implicitly shared
/// Qt lists would be shared between the writing and the reading thread.
struct Journal {
    std::mutex Lock;
    std::vector<std::string> Lines;
    void Add(const QString &Line)
    {
        std::string text = Line.toStdString();
        std::lock_guard guard(Lock);
        Lines.push_back(std::move(text));
    }
    QStringList Get()
    {
        std::vector<std::string> copy;
        {
            std::lock_guard guard(Lock);
            copy = Lines;
        }
        QStringList out;
        for (const std::string &l : copy)
            out << QString::fromStdString(l);
        return out;
    }
    int Size()
    {
        std::lock_guard guard(Lock);
        return int(Lines.size());
    }
};

/// Attaches a journal entry to every handler of the port and of the link.
void Record(TCustomComPort &Port, TComLink &Link, Journal &J)
{
    auto on = [&J](const char *Name) { return [&J, Name](QObject *) { J.Add(Name); }; };
    auto level = [&J](const char *Name) {
        return [&J, Name](QObject *, bool OnOff) { J.Add(QString("%1(%2)").arg(Name).arg(OnOff)); };
    };
    Port.OnRxChar = [&J](QObject *, int Count) { J.Add(QString("RxChar(%1)").arg(Count)); };
    Port.OnTxEmpty = on("TxEmpty");
    Port.OnBreak = on("Break");
    Port.OnRing = on("Ring");
    Port.OnRxFlag = on("RxFlag");
    Port.OnRx80Full = on("Rx80Full");
    Port.OnCTSChange = level("CTS");
    Port.OnDSRChange = level("DSR");
    Port.OnRLSDChange = level("RLSD");
    Port.OnError = [&J](QObject *, TComErrors E) { J.Add("Error" + ComErrorsToStr(E)); };
    Port.OnBeforeOpen = on("BeforeOpen");
    Port.OnAfterOpen = on("AfterOpen");
    Port.OnBeforeClose = on("BeforeClose");
    Port.OnAfterClose = on("AfterClose");
    Link.OnConn = level("link.Conn");
    Link.OnCTSChange = level("link.CTS");
    Link.OnDSRChange = level("link.DSR");
    Link.OnRLSDChange = level("link.RLSD");
    Link.OnRing = on("link.Ring");
    Link.OnRxFlag = on("link.RxFlag");
    Link.OnTxEmpty = on("link.TxEmpty");
    Link.OnTx = level("link.Tx");
    Link.OnRx = level("link.Rx");
}

struct FakePort {
    // Declared before the port: a port still open at the end closes into them.
    Journal J;
    TComLink Link;
    std::shared_ptr<FakeBackend> Fake = std::make_shared<FakeBackend>();
    TComPort Port;
    explicit FakePort(TSyncMethod Mode)
    {
        Port.SetBackend(Fake);
        Port.SetSyncMethod(Mode);
        Record(Port, Link, J);
        Port.RegisterLink(&Link);
    }
};

struct PtyPort {
    PtyPair Pty;
    TComPort Port;
    explicit PtyPort(TSyncMethod Mode = smThreadSync, TComEvents Events = AllComEvents)
    {
        Port.SetPort(Pty.Slave());
        Port.SetSyncMethod(Mode);
        Port.SetEvents(Events);
    }
};

} // namespace

TEST(ComEvents, MasksFollowTheEventTable)
{
    EXPECT_EQ(EventsToMask(AllComEvents), 0x05FFu);
    EXPECT_EQ(EventsToMask({evTxEmpty, evRxFlag}), 0x0006u);
    EXPECT_EQ(EventsToMask({evRing, evRx80Full}), 0x0500u);
    EXPECT_EQ(MaskToEvents(0xF801), TComEvents{evRxChar}); // foreign bits are ignored
    for (int e = 0; e < 10; ++e)
        EXPECT_EQ(MaskToEvents(EventsToMask({TComEvent(e)})), TComEvents{TComEvent(e)});
}

TEST(ComEvents, OpenAndCloseReportInOrder)
{
    for (TComEvents events : {AllComEvents, TComEvents{}}) {
        FakePort p(smThreadSync);
        p.Fake->Lines = {csCTS, csRLSD};
        p.Port.SetEvents(events);
        p.Port.Open();
        EXPECT_EQ(p.Fake->EventQueue.Sources, events.Empty() ? 0 : 1);
        p.Port.Close();
        const QStringList expected{
            "BeforeOpen", "link.Conn(1)", "AfterOpen", "link.CTS(1)", "CTS(1)", "link.DSR(0)",
            "DSR(0)", "link.RLSD(1)", "RLSD(1)",
            // closing reports every line off without reading them
            "link.CTS(0)", "link.DSR(0)", "link.RLSD(0)", "CTS(0)", "DSR(0)", "RLSD(0)",
            "BeforeClose", "link.Conn(0)", "AfterClose"};
        EXPECT_EQ(p.J.Get(), expected) << "events " << events.ToBits();
    }
}

TEST(ComEvents, EveryEventInItsOrderInEveryMode)
{
    for (TSyncMethod mode : Modes) {
        FakePort p(mode);
        p.Port.Open();
        const int opened = p.J.Size();
        p.Fake->Queued = 3;
        p.Fake->Lines = {csDSR};
        p.Fake->Counts.Frame = 1;
        p.Fake->EventQueue.Push(AllComEvents);
        ASSERT_TRUE(PumpUntil([&] { return p.J.Size() >= opened + 18; })) << int(mode);
        const QStringList got = p.J.Get().mid(opened);
        const QStringList expected{
            "Error<ComError:Frame>", "link.Rx(1)", "RxChar(3)", "link.Tx(0)", "link.TxEmpty",
            "TxEmpty", "Break", "link.Ring", "Ring", "link.CTS(0)", "CTS(0)", "link.DSR(1)",
            "DSR(1)", "link.RxFlag", "RxFlag", "link.RLSD(0)", "RLSD(0)", "Rx80Full"};
        EXPECT_EQ(got.mid(0, expected.size()), expected) << "mode " << int(mode);

        // An error event whose errors were already collected calls no OnError.
        const int before = p.J.Size();
        p.Fake->EventQueue.Push({evError, evRing});
        ASSERT_TRUE(PumpUntil([&] { return p.J.Size() >= before + 2; }));
        EXPECT_EQ(p.J.Get().mid(before), (QStringList{"link.Ring", "Ring"}));
        p.Port.Close();
    }
}

TEST(ComEvents, WindowModeShowsHandlerExceptionsAndGoesOn)
{
    QStringList shown;
    SetExceptionDisplay([&](const QString &Message) { shown << Message; });
    FakePort p(smWindowSync);
    p.Port.OnBreak = [](QObject *) { throw EComPort::CreateNoWinCode(12); };
    p.Port.Open();
    const int opened = p.J.Size();
    p.Fake->EventQueue.Push({evBreak, evRing});
    ASSERT_TRUE(PumpUntil([&] { return p.J.Size() >= opened + 2; }));
    EXPECT_EQ(p.J.Get().mid(opened), (QStringList{"link.Ring", "Ring"}));
    EXPECT_EQ(shown, QStringList{ComErrorText(12)});

    // Events still queued when the port closes are dropped.
    p.Fake->EventQueue.Push({evRing});
    QThread::msleep(50);
    p.Port.Close();
    const int closed = p.J.Size();
    QCoreApplication::processEvents();
    EXPECT_EQ(p.J.Size(), closed);
    SetExceptionDisplay({});
}

TEST(ComEvents, LinkRegistry)
{
    TComPort port;
    TComLink a, b;
    port.RegisterLink(&a);
    EXPECT_EQ(ExpectComError([&] { port.RegisterLink(&a); }).Code(), 18);
    EXPECT_EQ(ExpectComError([&] { port.UnRegisterLink(&b); }).Code(), 18);
    // Whether a link takes the data is judged at registration only.
    a.OnRxBuf = [](QObject *, const void *, int) {};
    EXPECT_TRUE(port.TriggersOnRxChar());
    port.UnRegisterLink(&a);
    port.RegisterLink(&a);
    EXPECT_FALSE(port.TriggersOnRxChar());
    EXPECT_EQ(ExpectComError([&] { port.SetTriggersOnRxChar(true); }).Code(), 22);
    port.UnRegisterLink(&a);
    EXPECT_TRUE(port.TriggersOnRxChar());
}

TEST(ComEvents, ReceivedDataGoesToOneReaderAndTheRestAreTold)
{
    // No trigger, no link: the port reads the bytes for its OnRxBuf; OnRxChar never fires.
    {
        PtyPort p(smNone);
        std::atomic<int> rxChar{0};
        std::string got;
        std::mutex lock;
        p.Port.SetTriggersOnRxChar(false);
        p.Port.OnRxChar = [&](QObject *, int) { ++rxChar; };
        p.Port.OnRxBuf = [&](QObject *, const void *B, int N) {
            std::lock_guard guard(lock);
            got.append(static_cast<const char *>(B), size_t(N));
        };
        p.Port.Open();
        p.Pty.Send("hello");
        ASSERT_TRUE(PumpUntil([&] { std::lock_guard g(lock); return got.size() >= 5; }));
        p.Port.Close();
        EXPECT_EQ(got, "hello");
        EXPECT_EQ(rxChar, 0);
    }
    // A link with OnRxBuf takes the data: the port's OnRxBuf first, the same bytes for both.
    {
        PtyPort p(smThreadSync);
        TComLink link, quiet;
        QStringList order;
        const void *seen[2] = {};
        p.Port.OnRxChar = [&](QObject *, int) { order << "RxChar"; };
        p.Port.OnRxBuf = [&](QObject *, const void *B, int N) {
            seen[0] = B;
            order << "port " + QString::fromLatin1(static_cast<const char *>(B), N);
        };
        link.OnRxBuf = [&](QObject *, const void *B, int N) {
            seen[1] = B;
            order << "link " + QString::fromLatin1(static_cast<const char *>(B), N);
        };
        link.OnRx = [&](QObject *, bool On) { order << QString("rx %1").arg(On); };
        p.Port.RegisterLink(&quiet);
        p.Port.RegisterLink(&link);
        p.Port.Open();
        p.Pty.Send("abc");
        ASSERT_TRUE(PumpUntil([&] { return order.size() >= 4; }));
        // The port's own read tells the links the queue is empty before the buffer goes round.
        EXPECT_EQ(order.mid(0, 4), (QStringList{"rx 1", "rx 0", "port abc", "link abc"}));
        EXPECT_EQ(seen[0], seen[1]);
        EXPECT_EQ(p.Port.InputCount(), 0);
        p.Port.Close();
        EXPECT_FALSE(order.contains("RxChar"));
    }
    // A link without OnRxBuf: nothing is read, OnRxChar hears the count.
    {
        PtyPort p(smThreadSync);
        TComLink link;
        int count = 0;
        p.Port.OnRxChar = [&](QObject *, int N) { count = N; };
        p.Port.RegisterLink(&link);
        p.Port.Open();
        p.Pty.Send("xy");
        ASSERT_TRUE(WaitQueued(p.Port, 2));
        ASSERT_TRUE(PumpUntil([&] { return count == 2; }));
        char buf[4];
        EXPECT_EQ(p.Port.Read(buf, 4), 2);
        p.Port.Close();
    }
}

TEST(ComEvents, UnreadBytesWakeOnceAndNewBytesWakeAgain)
{
    PtyPort p(smNone);
    std::atomic<int> events{0};
    p.Port.OnRxChar = [&](QObject *, int) { ++events; };
    p.Port.Open();
    p.Pty.Send("1");
    ASSERT_TRUE(PumpUntil([&] { return events >= 1; }));
    const double cpu = CpuSeconds();
    QThread::msleep(1000);
    EXPECT_EQ(events, 1);
    EXPECT_LT(CpuSeconds() - cpu, 0.3); // a thread woken by the waiting byte would burn a core
    p.Pty.Send("2");
    ASSERT_TRUE(PumpUntil([&] { return events >= 2; }));
    char buf[4];
    EXPECT_EQ(p.Port.Read(buf, 4), 2);
    p.Pty.Send("3"); // fewer bytes than before, but new ones
    ASSERT_TRUE(PumpUntil([&] { return events >= 3; }));
    p.Port.Close();
}

TEST(ComEvents, OutputDrainedRaisesTxEmpty)
{
    for (TSyncMethod mode : Modes) {
        PtyPort p(mode);
        std::atomic<int> empty{0};
        p.Port.OnTxEmpty = [&](QObject *) { ++empty; };
        p.Port.Open();
        QThread::msleep(20);
        QCoreApplication::processEvents();
        EXPECT_EQ(empty, 0); // nothing was written yet
        EXPECT_EQ(p.Port.Write("ping", 4), 4);
        ASSERT_TRUE(PumpUntil([&] { return empty >= 1; })) << int(mode);
        EXPECT_EQ(p.Pty.Receive(), "ping");
        p.Port.Close();
    }
}

TEST(ComEvents, CloseServesADeliveryThatWaitsForThePortsThread)
{
    PtyPort p(smThreadSync);
    int rx = 0, afterClose = 0;
    p.Port.OnRxChar = [&](QObject *, int) { ++rx; };
    p.Port.OnAfterClose = [&](QObject *) { ++afterClose; };
    p.Port.Open();
    p.Pty.Send("z");
    ASSERT_TRUE(WaitQueued(p.Port, 1));
    QThread::msleep(50); // the event thread is now blocked handing the batch over
    p.Port.Close();      // without an event loop: must not hang
    EXPECT_EQ(rx, 1);
    EXPECT_EQ(afterClose, 1);
    QCoreApplication::processEvents(); // the posted batch is stale now
    EXPECT_EQ(rx, 1);
}

TEST(ComEvents, HandlerMayCloseThePort)
{
    for (TSyncMethod mode : {smThreadSync, smWindowSync}) {
        PtyPort p(mode);
        int txEmpty = 0;
        p.Port.OnRxChar = [&](QObject *, int) { p.Port.Close(); };
        p.Port.OnTxEmpty = [&](QObject *) { ++txEmpty; };
        p.Port.Open();
        p.Port.Write("w", 1);
        p.Pty.Send("c");
        ASSERT_TRUE(PumpUntil([&] { return !p.Port.Connected(); })) << int(mode);
        p.Port.Open(); // nothing of the last session is stuck
        EXPECT_TRUE(p.Port.Connected());
        p.Port.Close();
    }
}

TEST(ComEvents, AnEventThreadHandlerClosingItsPortClosesItOnceTheBatchIsOver)
{
    PtyPort p(smNone);
    std::atomic<int> rxChar{0}, txEmpty{0}, afterClose{0};
    std::atomic<bool> stillOpenInHandler{false};
    p.Port.OnRxChar = [&](QObject *, int) {
        ++rxChar;
        p.Port.Close();
        stillOpenInHandler = p.Port.Connected(); // the close waits for the handler's return
    };
    p.Port.OnTxEmpty = [&](QObject *) { ++txEmpty; };
    p.Port.OnAfterClose = [&](QObject *) { ++afterClose; };
    p.Port.Open();
    p.Pty.Send("c");
    QElapsedTimer t;
    t.start();
    while (p.Port.Connected() && t.elapsed() < 5000)
        QThread::msleep(1);
    ASSERT_FALSE(p.Port.Connected());
    EXPECT_EQ(rxChar.load(), 1);
    EXPECT_TRUE(stillOpenInHandler.load());
    EXPECT_EQ(afterClose.load(), 1);
    EXPECT_EQ(p.Port.Handle(), -1);
    p.Port.OnRxChar = nullptr;
    p.Port.Open(); // the ended thread is collected; a new session runs
    EXPECT_TRUE(p.Port.Connected());
    p.Pty.Send("d");
    p.Port.Close();
    EXPECT_EQ(afterClose.load(), 2);

    // The rest of the batch is for a port that is closing: it is dropped.
    FakePort f(smNone);
    f.Fake->Queued = 1;
    f.Port.OnRxChar = [&](QObject *, int) { f.Port.Close(); };
    f.Port.Open();
    f.Fake->EventQueue.Push({evRxChar, evTxEmpty, evRing});
    t.restart();
    while (f.Port.Connected() && t.elapsed() < 5000)
        QThread::msleep(1);
    ASSERT_FALSE(f.Port.Connected());
    const QStringList log = f.J.Get();
    EXPECT_FALSE(log.contains("TxEmpty"));
    EXPECT_FALSE(log.contains("link.Ring"));
    EXPECT_EQ(log.count("AfterClose"), 1);
}

TEST(ComEvents, VanishedDeviceEndsTheWaitAndCloseCompletes)
{
    PtyPort p(smThreadSync);
    int afterClose = 0;
    p.Port.OnAfterClose = [&](QObject *) { ++afterClose; };
    p.Port.Open();
    p.Pty.CloseMaster();
    QThread::msleep(100);
    const double cpu = CpuSeconds();
    for (int i = 0; i < 50; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    EXPECT_LT(CpuSeconds() - cpu, 0.3);
    p.Port.Close();
    EXPECT_FALSE(p.Port.Connected());
    EXPECT_EQ(afterClose, 1);
}

TEST(ComEvents, ThousandOpenCloseCyclesWithBytesArriving)
{
    for (TSyncMethod mode : Modes) {
        PtyPort p(mode);
        std::atomic<bool> stop{false};
        const int master = p.Pty.Master();
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        std::thread writer([&] {
            while (!stop) {
                (void)!::write(master, "data", 4);
                QThread::usleep(200);
            }
        });
        std::atomic<int> rx{0};
        int before = 0, after = 0;
        TComLink link;
        link.OnRx = [](QObject *, bool) {};
        p.Port.RegisterLink(&link);
        p.Port.OnRxChar = [&](QObject *Sender, int N) {
            ++rx;
            char buf[64];
            static_cast<TCustomComPort *>(Sender)->Read(buf, std::min(N, 64));
        };
        p.Port.OnBeforeClose = [&](QObject *) { ++before; };
        p.Port.OnAfterClose = [&](QObject *) { ++after; };
        for (int i = 0; i < 1000; ++i) {
            p.Port.Open();
            if (i % 4 == 0)
                QCoreApplication::processEvents();
            p.Port.Close();
        }
        // After all that the port still delivers.
        p.Port.Open();
        EXPECT_TRUE(PumpUntil([&] { return rx > 0; })) << int(mode);
        p.Port.Close();
        stop = true;
        writer.join();
        EXPECT_EQ(before, 1001) << int(mode);
        EXPECT_EQ(after, 1001) << int(mode);
        p.Port.UnRegisterLink(&link);
    }
}

// A batch that no handler or link hears stays on the event thread; everything that can be
// heard must still reach the port's thread.

TEST(ComEvents, HandlerFlagFollowsEveryAssignment)
{
    TComHandler<TNotifyEvent> h;
    EXPECT_FALSE(h.Assigned());
    h = [](QObject *) {};
    EXPECT_TRUE(h.Assigned());
    TComHandler<TNotifyEvent> copy = h;
    EXPECT_TRUE(copy.Assigned());
    h = nullptr;
    EXPECT_FALSE(h.Assigned());
    copy = h;
    EXPECT_FALSE(copy.Assigned());
    h = TNotifyEvent{};
    EXPECT_FALSE(h.Assigned());
    const TNotifyEvent plain = [](QObject *) {};
    h = plain;
    EXPECT_TRUE(h.Assigned() && bool(h));
}

TEST(ComEvents, HandlerAssignedWhileOpenHearsTheNextBatch)
{
    for (TSyncMethod mode : {smThreadSync, smWindowSync}) {
        auto fake = std::make_shared<FakeBackend>();
        TComPort port;
        port.SetBackend(fake);
        port.SetSyncMethod(mode);
        port.Open();
        fake->EventQueue.Push({evTxEmpty, evRing}); // no one listens yet
        std::atomic<int> empty{0};
        std::atomic<bool> onPortThread{true};
        const QThread *portThread = QThread::currentThread();
        port.OnTxEmpty = [&](QObject *) {
            onPortThread = onPortThread && QThread::currentThread() == portThread;
            ++empty;
        };
        fake->EventQueue.Push({evTxEmpty});
        ASSERT_TRUE(PumpUntil([&] { return empty >= 1; })) << int(mode);
        EXPECT_TRUE(onPortThread);
        port.Close();
        EXPECT_LE(empty, 2); // the first batch may have been looked at after the assignment
    }
}

TEST(ComEvents, ErrorEventClearsTheErrorsWithoutAHandler)
{
    for (TSyncMethod mode : {smThreadSync, smWindowSync}) {
        auto fake = std::make_shared<FakeBackend>();
        TComPort port;
        port.SetBackend(fake);
        port.SetSyncMethod(mode);
        port.Open();
        fake->Counts.Frame = 1;
        fake->EventQueue.Push({evError});
        // A later batch that is heard tells when the error event has been dealt with.
        std::atomic<int> rings{0};
        port.OnRing = [&](QObject *) { ++rings; };
        fake->EventQueue.Push({evRing});
        ASSERT_TRUE(PumpUntil([&] { return rings >= 1; })) << int(mode);
        EXPECT_TRUE(port.LastErrors().Empty()) << "mode " << int(mode); // taken by the error event
        port.Close();
    }
}

TEST(ComEvents, LinkWithoutPortHandlersIsStillTold)
{
    for (TSyncMethod mode : {smThreadSync, smWindowSync}) {
        auto fake = std::make_shared<FakeBackend>();
        TComPort port;
        TComLink link;
        std::atomic<int> empty{0};
        link.OnTxEmpty = [&](QObject *) { ++empty; };
        port.SetBackend(fake);
        port.SetSyncMethod(mode);
        port.RegisterLink(&link);
        port.Open();
        fake->EventQueue.Push({evTxEmpty});
        ASSERT_TRUE(PumpUntil([&] { return empty >= 1; })) << int(mode);
        port.Close();
        port.UnRegisterLink(&link);
    }
}

class RxCountingPort : public TComPort {
public:
    std::atomic<int> RxChar{0};

protected:
    void DoRxChar(int Count) override
    {
        TComPort::DoRxChar(Count);
        ++RxChar;
    }
};

TEST(ComEvents, OverriddenDoMethodIsCalledWithoutAHandler)
{
    for (TSyncMethod mode : {smThreadSync, smWindowSync}) {
        auto fake = std::make_shared<FakeBackend>();
        RxCountingPort port;
        port.SetBackend(fake);
        port.SetSyncMethod(mode);
        port.Open();
        fake->Queued = 2;
        fake->EventQueue.Push({evRxChar});
        ASSERT_TRUE(PumpUntil([&] { return port.RxChar >= 1; })) << int(mode);
        port.Close();
    }
}

TEST(ComEvents, InputIsReadAwayWhenTriggersOnRxCharIsOff)
{
    for (TSyncMethod mode : {smThreadSync, smWindowSync}) {
        auto fake = std::make_shared<FakeBackend>();
        TComPort port;
        port.SetBackend(fake);
        port.SetSyncMethod(mode);
        port.SetTriggersOnRxChar(false);
        port.Open();
        fake->Queued = 3;
        fake->EventQueue.Push({evRxChar});
        // No handler, but the port's thread still takes the bytes from the driver.
        ASSERT_TRUE(PumpUntil([&] { return fake->ReadCalls >= 1; })) << int(mode);
        port.Close();
    }
}

// The event thread waits only for what a handler, a link or a subclass hears, and every
// subscription made while the port is open widens the wait at once.
TEST(ComEvents, TheThreadWaitsOnlyForWhatSomeoneHears)
{
    auto listened = [](FakeBackend &f) {
        std::lock_guard guard(f.EventQueue.Lock);
        return f.EventQueue.Listened;
    };
    const auto nothing = [](QObject *) {};
    const auto level = [](QObject *, bool) {};
    const std::pair<std::function<void(TComPort &)>, TComEvents> cases[] = {
        {[](TComPort &) {}, {}},
        {[](TComPort &p) { p.OnRxChar = [](QObject *, int) {}; }, {evRxChar}},
        {[](TComPort &p) { p.OnRxBuf = [](QObject *, const void *, int) {}; }, {evRxChar}},
        {[](TComPort &p) { p.SetTriggersOnRxChar(false); }, {evRxChar}}, // bytes are read away
        {[&](TComPort &p) { p.OnTxEmpty = nothing; p.OnRing = nothing; }, {evTxEmpty, evRing}},
        {[&](TComPort &p) { p.OnCTSChange = level; p.OnError = [](QObject *, TComErrors) {}; },
         {evCTS, evError}},
        {[&](TComPort &p) { p.OnRx80Full = nothing; p.OnBreak = nothing; p.OnRLSDChange = level; },
         {evRx80Full, evBreak, evRLSD}},
        {[&](TComPort &p) { p.OnRing = nothing; p.OnBreak = nothing; p.SetEvents({evRing, evDSR}); },
         {evRing}},
        {[&](TComPort &p) { p.OnRing = nothing; p.OnRing = nullptr; }, {}},
    };
    int i = 0;
    for (const auto &[listen, expected] : cases) {
        auto fake = std::make_shared<FakeBackend>();
        TComPort port;
        port.SetBackend(fake);
        port.Open();
        EXPECT_TRUE(listened(*fake).Empty()) << i;
        listen(port);
        EXPECT_EQ(listened(*fake).ToBits(), expected.ToBits()) << i;
        port.Close();
        ++i;
    }

    // A link may take up any handler later: it hears everything, until it goes.
    auto fake = std::make_shared<FakeBackend>();
    TComPort port;
    TComLink link;
    port.SetBackend(fake);
    port.Open();
    port.RegisterLink(&link);
    EXPECT_EQ(listened(*fake).ToBits(), AllComEvents.ToBits());
    port.UnRegisterLink(&link);
    EXPECT_TRUE(listened(*fake).Empty());
    port.Close();

    // A subclass's own Do methods may hear anything.
    auto subFake = std::make_shared<FakeBackend>();
    RxCountingPort sub;
    sub.SetBackend(subFake);
    sub.Open();
    EXPECT_EQ(listened(*subFake).ToBits(), AllComEvents.ToBits());
}

// On a terminal, what nobody watches wakes nobody: input, output and its draining leave the
// wait asleep until its time-out; watching input from another thread ends it at once with
// the bytes already waiting.
TEST(ComEvents, AnUnwatchedLineLeavesTheWaitAsleep)
{
    PtyPort p(smThreadSync, {});
    p.Port.Open();
    int err = 0;
    TEventSetup setup;
    setup.Events = AllComEvents;
    std::unique_ptr<TComEventSource> source = p.Port.Backend().CreateEventSource(p.Port.Handle(), setup, err);
    ASSERT_TRUE(source) << err;
    source->SetWatched({});
    TComEvents got;
    bool stopped = false;
    ASSERT_EQ(source->Wait(got, 0, -1, stopped), 0); // takes the change of watch
    p.Pty.Send("unheard");
    p.Port.Write("out", 3);
    source->Written();
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(source->Wait(got, 300, -1, stopped), 0);
    EXPECT_TRUE(got.Empty());
    EXPECT_GE(clock.elapsed(), 290); // only a wake-up could end it earlier

    std::thread subscriber([&] {
        QThread::msleep(50);
        source->SetWatched({evRxChar});
    });
    clock.restart();
    got = {};
    for (int i = 0; i < 3 && got.Empty(); ++i) // the change itself may wake it once
        ASSERT_EQ(source->Wait(got, 5000, -1, stopped), 0);
    subscriber.join();
    EXPECT_EQ(got, TComEvents{evRxChar});
    EXPECT_LT(clock.elapsed(), 4000);
}

// Through the port in each delivery mode: a handler assigned while the port is open hears
// bytes that then arrive, although the thread slept through the ones before.
TEST(ComEvents, AHandlerAssignedLaterOnATerminalHearsInEveryMode)
{
    for (TSyncMethod mode : Modes) {
        PtyPort p(mode);
        p.Port.Open();
        p.Pty.Send("a");
        QThread::msleep(20);
        std::atomic<int> heard{0};
        p.Port.OnRxBuf = [&](QObject *, const void *, int Count) { heard += Count; };
        p.Port.SetTriggersOnRxChar(false);
        p.Pty.Send("bc");
        ASSERT_TRUE(PumpUntil([&] { return heard >= 2; })) << int(mode);
        p.Port.Close();
    }
}
