// Latency from a byte written at the far end of a pseudo-terminal to OnRxChar on the port's
// thread, per delivery mode, against a socket notifier on the same line in the same run;
// and the CPU the event thread spends while one unread byte waits in the queue.
//
// Usage: tq_event_bench [samples=400]

#include "serial/ComPort.h"

#include "bench/BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

using bench::Pty;

namespace {

using Clock = std::chrono::steady_clock;

struct Stats {
    double Median = 0, P99 = 0;
};

Stats Summarise(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)]};
}

/// Writes one byte at the far end after a pause; Run waits on the port's thread until
/// Arrived is called, and records the time taken.
class Sampler {
public:
    explicit Sampler(int Master) : FMaster(Master) {}
    std::vector<double> Run(int Samples, const std::function<void()> &Drain)
    {
        std::vector<double> out;
        for (int i = 0; i < Samples; ++i) {
            FArrived = false;
            QEventLoop loop;
            FLoop = &loop;
            QTimer::singleShot(1, [&] {
                FSent = Clock::now();
                if (::write(FMaster, "x", 1) != 1)
                    std::abort();
            });
            QTimer guard;
            guard.setSingleShot(true);
            QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
            guard.start(2000);
            if (!FArrived)
                loop.exec();
            FLoop = nullptr;
            if (!FArrived)
                throw std::runtime_error("byte lost");
            out.push_back(std::chrono::duration<double, std::micro>(FAt - FSent).count());
            Drain();
        }
        return out;
    }
    void Arrived()
    {
        if (FArrived)
            return;
        FAt = Clock::now();
        FArrived = true;
        if (FLoop)
            FLoop->quit();
    }

private:
    int FMaster;
    Clock::time_point FSent, FAt;
    bool FArrived = false;
    QEventLoop *FLoop = nullptr;
};

Stats Baseline(int Samples)
{
    Pty pty;
    const int fd = ::open(pty.Slave.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    Sampler s(pty.Master);
    QSocketNotifier n(fd, QSocketNotifier::Read);
    QObject::connect(&n, &QSocketNotifier::activated, [&] {
        char b[16];
        (void)!::read(fd, b, sizeof b);
        s.Arrived();
    });
    const Stats r = Summarise(s.Run(Samples, [] {}));
    ::close(fd);
    return r;
}

Stats PortLatency(TSyncMethod Mode, int Samples)
{
    Pty pty;
    TComPort port;
    port.SetPort(pty.Slave);
    port.SetSyncMethod(Mode);
    Sampler s(pty.Master);
    // In smNone the handler runs on the event thread: hand the arrival to the port's thread.
    port.OnRxChar = [&](QObject *, int) {
        if (Mode == smNone)
            QMetaObject::invokeMethod(&port, [&] { s.Arrived(); }, Qt::QueuedConnection);
        else
            s.Arrived();
    };
    port.Open();
    char b[16];
    const Stats r = Summarise(s.Run(Samples, [&] { port.Read(b, sizeof b); }));
    port.Close();
    return r;
}

double ThreadCpuSecondsIdle(int Ms)
{
    Pty pty;
    TComPort port; // as the configurator: all events, thread sync, no handler
    port.SetPort(pty.Slave);
    port.Open();
    if (::write(pty.Master, "q", 1) != 1)
        std::abort();
    QThread::msleep(50);
    timespec a{}, b{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
    QEventLoop loop;
    QTimer::singleShot(Ms, &loop, &QEventLoop::quit);
    loop.exec();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
    port.Close();
    return double(b.tv_sec - a.tv_sec) + double(b.tv_nsec - a.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int samples = argc > 1 ? std::max(10, std::atoi(argv[1])) : 400;
    const Stats base = Baseline(samples);
    std::printf("byte to handler, %d samples (us)      median     p99   median/baseline\n", samples);
    std::printf("  socket notifier (baseline)        %8.1f %8.1f   1.00\n", base.Median, base.P99);
    const char *names[] = {"smThreadSync", "smWindowSync", "smNone (to port thread)"};
    for (TSyncMethod m : {smThreadSync, smWindowSync, smNone}) {
        const Stats s = PortLatency(m, samples);
        std::printf("  %-32s %8.1f %8.1f   %.2f\n", names[m], s.Median, s.P99, s.Median / base.Median);
    }
    const int idleMs = 2000;
    const double cpu = ThreadCpuSecondsIdle(idleMs);
    std::printf("idle with one unread byte for %d ms: %.2f ms CPU (%.3f %% of a core)\n", idleMs,
                cpu * 1e3, cpu * 1e3 / idleMs * 100);
    return 0;
}
