// Throughput of an overlapped write that the caller leaves alone (WriteAsync, then nothing
// until the far end has every byte, then WaitForAsync) against a blocking Write of the same
// bytes, through fresh pseudo-terminal pairs in the same run, the far end reading all the time.
//
// Usage: tq_async_bench [repetitions=7] [MiB=8]

#include "serial/ComPort.h"

#include "bench/BenchSupport.h"

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

using bench::Pty;
using Clock = std::chrono::steady_clock;

namespace {

/// Reads the master side until Total bytes have come; returns when they have.
class FarEnd {
public:
    FarEnd(int Master, size_t Total)
        : FThread([this, Master, Total] {
              std::vector<char> buf(1 << 16);
              while (FGot.load() < Total) {
                  pollfd p{Master, POLLIN, 0};
                  if (::poll(&p, 1, 5000) <= 0)
                      break;
                  const ssize_t n = ::read(Master, buf.data(), buf.size());
                  if (n <= 0)
                      break;
                  FGot.fetch_add(size_t(n));
              }
          })
    {
    }
    ~FarEnd() { FThread.join(); }
    size_t Got() const { return FGot.load(); }

private:
    std::atomic<size_t> FGot{0};
    std::thread FThread;
};

/// MiB/s of one transfer of Bytes; Async leaves the write to itself until the far end has it all.
double Transfer(const std::vector<char> &Bytes, bool Async)
{
    Pty pty;
    TComPort port;
    port.SetEvents({});
    port.SetPort(pty.Slave);
    port.Timeouts().SetWriteTotalC(0);
    port.Timeouts().SetWriteTotalM(0);
    port.Open();
    const auto start = Clock::now();
    double seconds = 0;
    {
        FarEnd far(pty.Master, Bytes.size());
        if (Async) {
            PAsync a = nullptr;
            InitAsync(a);
            port.WriteAsync(Bytes.data(), int(Bytes.size()), a);
            while (far.Got() < Bytes.size())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
            if (port.WaitForAsync(a) != int(Bytes.size()))
                std::fprintf(stderr, "async write came up short\n");
            DoneAsync(a);
        } else {
            if (port.Write(Bytes.data(), int(Bytes.size())) != int(Bytes.size()))
                std::fprintf(stderr, "blocking write came up short\n");
            while (far.Got() < Bytes.size())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
        }
    }
    port.Close();
    return double(Bytes.size()) / (1 << 20) / seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int reps = argc > 1 ? std::atoi(argv[1]) : 7;
    const int mib = argc > 2 ? std::atoi(argv[2]) : 8;
    std::vector<char> bytes(size_t(mib) << 20);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7);
    std::vector<double> ratios;
    std::printf("%-4s %14s %14s %8s\n", "rep", "blocking MiB/s", "async MiB/s", "ratio");
    for (int r = 0; r < reps; ++r) {
        // Alternate who goes first: the machine's timing drifts.
        double blocking, async;
        if (r % 2 == 0) {
            blocking = Transfer(bytes, false);
            async = Transfer(bytes, true);
        } else {
            async = Transfer(bytes, true);
            blocking = Transfer(bytes, false);
        }
        ratios.push_back(async / blocking);
        std::printf("%-4d %14.1f %14.1f %8.2f\n", r, blocking, async, async / blocking);
    }
    std::printf("median async/blocking throughput ratio: %.2f (target >= 0.90)\n",
                bench::Percentile(ratios, 0.5));
    return 0;
}
