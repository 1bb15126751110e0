// Moving bytes through a pseudo-terminal: immediate reads, timeouts, texts, asynchronous
// records and a vanished far end.

#include "PtyPair.h"
#include "TestSupport.h"

#include "FakeBackend.h"

#include <QElapsedTimer>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <sys/wait.h>
#include <termios.h>
#include <thread>

namespace {
struct OpenPort {
    PtyPair Pty;
    TComPort Port;
    OpenPort()
    {
        Port.SetPort(Pty.Slave());
        Port.Open();
    }
};

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}
} // namespace

TEST(ComReadWrite, ReadReturnsAtOnceWithWhatIsQueued)
{
    OpenPort p;
    char buf[32] = {};
    EXPECT_EQ(p.Port.Read(buf, 10), 0);

    p.Pty.Send("abc");
    ASSERT_TRUE(WaitQueued(p.Port, 3));
    EXPECT_EQ(p.Port.Read(buf, 10), 3);
    EXPECT_EQ(std::string(buf, 3), "abc");

    const std::string twentyFive = "ABCDEFGHIJKLMNOPQRSTUVWXY";
    p.Pty.Send(twentyFive);
    ASSERT_TRUE(WaitQueued(p.Port, 25));
    EXPECT_EQ(p.Port.Read(buf, 10), 10);
    EXPECT_EQ(std::string(buf, 10), twentyFive.substr(0, 10));
    EXPECT_EQ(p.Port.InputCount(), 15);

    // Draining one byte at a time stops with 0 as soon as the queue is empty.
    std::string rest;
    for (int i = 0; i < 100; ++i) {
        char c = 0;
        if (p.Port.Read(&c, 1) == 0)
            break;
        rest += c;
    }
    EXPECT_EQ(rest, twentyFive.substr(10));
    EXPECT_EQ(p.Port.Read(buf, 1), 0);
}

TEST(ComReadWrite, WritesArriveUnchanged)
{
    OpenPort p;
    const std::string bytes("\x00\r\n\x11\x13\xff tail", 11);
    EXPECT_EQ(p.Port.Write(bytes.data(), int(bytes.size())), 11);
    EXPECT_EQ(p.Pty.Receive(), bytes);
    EXPECT_EQ(p.Port.Write("", 0), 0);
    p.Port.TransmitChar(QChar(0x141)); // low 8 bits
    EXPECT_EQ(p.Pty.Receive(), "A");
    EXPECT_EQ(p.Port.OutputCount(), 0);
}

TEST(ComReadWrite, ByteStringsAndCodePages)
{
    OpenPort p;
    EXPECT_EQ(p.Port.WriteStr(QString(QChar(0x0416)) + QChar(0xE9)), 2);
    EXPECT_EQ(p.Pty.Receive(), "\x16\xE9");

    p.Pty.Send("\xE9z");
    ASSERT_TRUE(WaitQueued(p.Port, 2));
    QString text = QStringLiteral("old");
    EXPECT_EQ(p.Port.ReadStr(text, 0), 0);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(p.Port.ReadStr(text, 5), 2);
    EXPECT_EQ(text, QString(QChar(0xE9)) + QLatin1Char('z'));

    const QString zhe = QString::fromUtf8("Ж");
    p.Port.SetCodePage(1251);
    EXPECT_EQ(p.Port.WriteUnicodeString(zhe), 1);
    EXPECT_EQ(p.Pty.Receive(), "\xC6");
    p.Pty.Send("\xC6\xE0");
    ASSERT_TRUE(WaitQueued(p.Port, 2));
    EXPECT_EQ(p.Port.ReadUnicodeString(text, 10), 2);
    EXPECT_EQ(text, QString::fromUtf8("Жа"));

    p.Port.SetCodePage(0); // UTF-8
    EXPECT_EQ(p.Port.WriteUnicodeString(zhe), 2);
    EXPECT_EQ(p.Pty.Receive(), "\xD0\x96");

    p.Port.SetCodePage(4242);
    p.Pty.Send("q");
    ASSERT_TRUE(WaitQueued(p.Port, 1));
    EXPECT_EQ(ExpectComError([&] { p.Port.ReadUnicodeString(text, 1); }).Code(), 3);
    EXPECT_EQ(p.Port.InputCount(), 1); // nothing was taken from the driver
}

TEST(ComReadWrite, EmptyTextNeedsNoDevice)
{
    TComPort closed;
    EXPECT_EQ(closed.WriteStr(QString()), 0);
    QString text;
    EXPECT_EQ(closed.ReadStr(text, 0), 0);
}

TEST(ComReadWrite, TotalAndIntervalTimeouts)
{
    OpenPort p;
    char buf[16];
    p.Port.Timeouts().SetReadInterval(0);
    p.Port.Timeouts().SetReadTotalC(150);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(p.Port.Read(buf, 4), 0);
    EXPECT_GE(t.elapsed(), 140);
    EXPECT_LT(t.elapsed(), 5000);

    // The total grows with the count; bytes that come in time are collected.
    p.Port.Timeouts().SetReadTotalC(5000);
    std::thread far([&] {
        p.Pty.Send("12");
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        p.Pty.Send("34");
    });
    EXPECT_EQ(p.Port.Read(buf, 4), 4);
    far.join();
    EXPECT_EQ(std::string(buf, 4), "1234");

    // An interval timeout ends the read once bytes stop coming.
    p.Port.Timeouts().SetReadInterval(50);
    p.Pty.Send("xy");
    t.restart();
    EXPECT_EQ(p.Port.Read(buf, 10), 2);
    EXPECT_LT(t.elapsed(), 4000);
}

TEST(ComReadWrite, WaitForTheFirstByte)
{
    OpenPort p;
    p.Port.Timeouts().SetReadInterval(-1);
    p.Port.Timeouts().SetReadTotalM(-1);
    p.Port.Timeouts().SetReadTotalC(5000);
    std::thread far([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        p.Pty.Send("k");
    });
    char buf[8];
    EXPECT_EQ(p.Port.Read(buf, 8), 1);
    far.join();
    EXPECT_EQ(buf[0], 'k');
}

TEST(ComReadWrite, WriteTimeoutGivesAShortCount)
{
    OpenPort p;
    p.Port.Timeouts().SetWriteTotalM(0);
    p.Port.Timeouts().SetWriteTotalC(200);
    // Nobody reads the far end, so the tty's buffers fill up and the write stops short.
    std::vector<char> big(1 << 20, 'z');
    const int n = p.Port.Write(big.data(), int(big.size()));
    EXPECT_GT(n, 0);
    EXPECT_LT(n, int(big.size()));
    p.Port.ClearBuffer(true, true);
}

TEST(ComReadWrite, AsyncRecords)
{
    OpenPort p;
    p.Port.Timeouts().SetReadInterval(0);
    p.Port.Timeouts().SetReadTotalC(10000);
    char buf[8] = {};
    PAsync a = nullptr;
    InitAsync(a);
    EXPECT_EQ(p.Port.WaitForAsync(a), 0); // nothing started yet
    EXPECT_EQ(p.Port.ReadAsync(buf, 3, a), 0);
    EXPECT_EQ(a->Kind, okRead);
    EXPECT_FALSE(p.Port.IsAsyncCompleted(a));
    p.Pty.Send("abc");
    EXPECT_EQ(p.Port.WaitForAsync(a), 3);
    EXPECT_TRUE(p.Port.IsAsyncCompleted(a));
    EXPECT_EQ(std::string(buf, 3), "abc");

    EXPECT_EQ(p.Port.WriteAsync("hello", 5, a), 5);
    EXPECT_EQ(a->Kind, okWrite);
    EXPECT_EQ(a->Size, 5);
    EXPECT_EQ(std::string(a->Data, 5), "hello");
    EXPECT_EQ(p.Port.WaitForAsync(a), 5);
    EXPECT_EQ(p.Pty.Receive(), "hello");

    // Aborting ends a pending read with what it had; queued bytes stay.
    EXPECT_EQ(p.Port.ReadAsync(buf, 8, a), 0);
    p.Port.AbortAllAsync();
    EXPECT_TRUE(p.Port.IsAsyncCompleted(a));
    EXPECT_EQ(p.Port.WaitForAsync(a), 0);

    // Closing the port ends a pending read; releasing a pending record is safe too.
    PAsync b = nullptr;
    InitAsync(b);
    EXPECT_EQ(p.Port.ReadAsync(buf, 8, a), 0);
    EXPECT_EQ(p.Port.ReadAsync(buf, 8, b), 0);
    DoneAsync(b);
    EXPECT_EQ(b, nullptr);
    p.Port.Close();
    EXPECT_EQ(p.Port.WaitForAsync(a), 0);

    // A record pending on one port and restarted on another leaves nothing behind.
    OpenPort q;
    q.Port.Timeouts().Assign(p.Port.Timeouts());
    p.Port.Open();
    EXPECT_EQ(p.Port.ReadAsync(buf, 8, a), 0);
    EXPECT_EQ(q.Port.ReadAsync(buf, 8, a), 0);
    q.Pty.Send("qqqqqqqq");
    EXPECT_EQ(p.Port.WaitForAsync(a), 8); // driven by the port it runs on
    DoneAsync(a);
    EXPECT_EQ(a, nullptr);
    p.Port.Close();
    q.Port.Close();
}

TEST(ComReadWrite, PendingOperationsGoOnWithoutTheCaller)
{
    OpenPort p;
    p.Port.Timeouts().SetWriteTotalM(0);
    p.Port.Timeouts().SetWriteTotalC(500);
    std::atomic<size_t> got{0};
    std::thread far([&] {
        QElapsedTimer t;
        t.start();
        while (got.load() < 262144 && t.elapsed() < 5000) {
            const std::string chunk = p.Pty.Receive(100);
            got.fetch_add(chunk.size());
        }
    });
    std::vector<char> big(262144, 'w');
    PAsync a = nullptr;
    InitAsync(a);
    p.Port.WriteAsync(big.data(), int(big.size()), a);
    // Nobody waits: the write must still be done within its 500 ms.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(got.load(), big.size());
    EXPECT_TRUE(p.Port.IsAsyncCompleted(a));
    EXPECT_EQ(p.Port.WaitForAsync(a), int(big.size()));
    far.join();

    // A read waits for its bytes on its own too.
    p.Port.Timeouts().SetReadInterval(0);
    p.Port.Timeouts().SetReadTotalC(5000);
    char buf[4] = {};
    EXPECT_EQ(p.Port.ReadAsync(buf, 4, a), 0);
    p.Pty.Send("wxyz");
    QElapsedTimer t;
    t.start();
    while (!p.Port.IsAsyncCompleted(a) && t.elapsed() < 3000)
        QThread::msleep(1);
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(std::string(buf, 4), "wxyz");
    EXPECT_EQ(p.Port.WaitForAsync(a), 4);

    // Writes queue in order behind a pending one; aborting ends them with what they moved.
    p.Port.Timeouts().SetWriteTotalC(0);
    PAsync b = nullptr;
    InitAsync(b);
    p.Port.WriteAsync(big.data(), int(big.size()), a); // nobody reads: it stays pending
    p.Port.WriteAsync("tail", 4, b);
    EXPECT_FALSE(p.Port.IsAsyncCompleted(a));
    EXPECT_FALSE(p.Port.IsAsyncCompleted(b));
    p.Port.AbortAllAsync();
    EXPECT_TRUE(p.Port.IsAsyncCompleted(a));
    EXPECT_TRUE(p.Port.IsAsyncCompleted(b));
    const int moved = p.Port.WaitForAsync(a);
    EXPECT_GT(moved, 0);
    EXPECT_LT(moved, int(big.size()));
    EXPECT_EQ(p.Port.WaitForAsync(b), 0);
    DoneAsync(a);
    DoneAsync(b);
    p.Port.ClearBuffer(true, true);
}

TEST(ComReadWrite, AnEmptyLiveLineIsNoHangUpEvenWithVminZero)
{
    OpenPort p;
    // Another program on the same terminal asks for reads that may return nothing.
    termios t = p.Pty.Settings();
    t.c_cc[VMIN] = 0;
    ASSERT_EQ(tcsetattr(p.Pty.Master(), TCSANOW, &t), 0);
    char buf[8];
    EXPECT_EQ(p.Port.Read(buf, 8), 0);
    p.Port.Timeouts().SetReadInterval(0);
    p.Port.Timeouts().SetReadTotalC(100);
    EXPECT_EQ(p.Port.Read(buf, 8), 0);
    p.Pty.Send("ok");
    ASSERT_TRUE(WaitQueued(p.Port, 2));
    EXPECT_EQ(p.Port.Read(buf, 2), 2);
    // A real hang-up still ends a read at once.
    p.Pty.CloseMaster();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(ExpectComError([&] { p.Port.Read(buf, 8); }).Code(), 3);
    EXPECT_LT(clock.elapsed(), 90);
}

TEST(ComReadWrite, APendingReadThatFailsIsReportedByTheCheck)
{
    OpenPort p;
    p.Port.Timeouts().SetReadInterval(0);
    p.Port.Timeouts().SetReadTotalC(10000);
    char buf[8];
    PAsync a = nullptr;
    InitAsync(a);
    EXPECT_EQ(p.Port.ReadAsync(buf, 8, a), 0);
    EXPECT_FALSE(p.Port.IsAsyncCompleted(a));
    p.Pty.CloseMaster();
    int code = 0;
    QElapsedTimer t;
    t.start();
    while (code == 0 && t.elapsed() < 3000) {
        try {
            p.Port.IsAsyncCompleted(a);
        } catch (const EComPort &e) {
            code = e.Code();
        }
        QThread::msleep(1);
    }
    EXPECT_EQ(code, 6);
    EXPECT_EQ(ExpectComError([&] { p.Port.WaitForAsync(a); }).Code(), 3);
    DoneAsync(a);
}

TEST(ComReadWrite, LinksHearWhatWentOut)
{
    OpenPort p;
    TComLink link;
    std::vector<bool> busy;
    std::vector<int> told;
    link.OnTx = [&](QObject *, bool OnOff) { busy.push_back(OnOff); };
    link.OnTxBuf = [&](QObject *, const void *, int Count) { told.push_back(Count); };
    p.Port.RegisterLink(&link);
    EXPECT_EQ(p.Port.Write("", 0), 0);
    EXPECT_EQ(busy, std::vector<bool>{true}); // the transmit-busy report goes out all the same
    EXPECT_TRUE(told.empty());

    p.Port.Timeouts().SetWriteTotalM(0);
    p.Port.Timeouts().SetWriteTotalC(200);
    std::vector<char> big(1 << 20, 'z');
    const int n = p.Port.Write(big.data(), int(big.size()));
    ASSERT_LT(n, int(big.size()));
    EXPECT_EQ(told, std::vector<int>{n}); // not the bytes that never went
    p.Port.UnRegisterLink(&link);
    p.Port.ClearBuffer(true, true);
}

TEST(ComReadWrite, VanishedFarEndFailsWithoutSpinning)
{
    OpenPort p;
    p.Pty.CloseMaster(); // the kernel hangs the slave up
    char buf[8];
    EComPort r = ExpectComError([&] { p.Port.Read(buf, 1); });
    EXPECT_EQ(r.Code(), 3);
    EXPECT_EQ(r.WinCode(), EIO);
    EXPECT_EQ(ExpectComError([&] { p.Port.Write("x", 1); }).Code(), 2);

    // A read that would wait for data ends at once instead of polling a dead device.
    p.Port.Timeouts().SetReadInterval(0);
    p.Port.Timeouts().SetReadTotalC(1500);
    const double cpu = CpuSeconds();
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(ExpectComError([&] { p.Port.Read(buf, 8); }).Code(), 3);
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_LT(CpuSeconds() - cpu, 0.5);
    p.Port.Close();
    EXPECT_FALSE(p.Port.Connected());
}

TEST(ComReadWrite, WaitForEventWithoutThread)
{
    {
        OpenPort threaded; // all events watched: the event thread owns the waiting
        TComEvents events{evRxChar};
        EXPECT_EQ(ExpectComError([&] { threaded.Port.WaitForEvent(events, -1, 0); }).Code(), 20);
    }
    struct Unthreaded {
        PtyPair Pty;
        TComPort Port;
        Unthreaded()
        {
            Port.SetEvents({});
            Port.SetPort(Pty.Slave());
            Port.Open();
        }
    } p;
    TComEvents events{evRxChar, evTxEmpty};
    p.Port.WaitForEvent(events, -1, 0);
    EXPECT_TRUE(events.Empty());
    {
        TComPort closed;
        closed.SetEvents({});
        EXPECT_EQ(ExpectComError([&] { closed.WaitForEvent(events, -1, 0); }).Code(), 21);
    }
    events = {evRxChar, evTxEmpty};
    p.Port.WaitForEvent(events, -1, 0);
    EXPECT_TRUE(events.Empty());
    p.Pty.Send("e");
    events = {evRxChar};
    p.Port.WaitForEvent(events, -1, 5000);
    EXPECT_TRUE(events.Contains(evRxChar));

    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    ASSERT_EQ(::write(stop[1], "s", 1), 1);
    events = {evRing};
    p.Port.WaitForEvent(events, stop[0], -1);
    EXPECT_TRUE(events.Empty());
    ::close(stop[0]);
    ::close(stop[1]);
}
