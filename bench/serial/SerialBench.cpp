// Serial port throughput and request/reply latency through pseudo-terminal pairs,
// TComPort Write/Read against plain read/write + poll() in the same run.
//
// Each repetition uses a fresh pair per contender and alternates which one goes first;
// the ratios are printed pair by pair because this machine's timing is noisy.
//
// Usage: tq_serial_bench [repetitions=7] [round-trips=2000] [MiB=16]

#include "serial/ComPort.h"

#include "bench/BenchSupport.h"

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

using bench::Pty;

namespace {

using Clock = std::chrono::steady_clock;

/// One side of the line as the benchmark drives it.
class Endpoint {
public:
    virtual ~Endpoint() = default;
    virtual int Fd() const = 0;
    virtual int Write(const char *Data, int Count) = 0; ///< everything, blocking
    virtual int Read(char *Data, int Count) = 0;        ///< what is queued, at once
};

class RawEndpoint : public Endpoint {
public:
    explicit RawEndpoint(const QString &Path)
    {
        FFd = ::open(Path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios t{};
        tcgetattr(FFd, &t);
        cfmakeraw(&t);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        tcsetattr(FFd, TCSANOW, &t);
    }
    ~RawEndpoint() override { ::close(FFd); }
    int Fd() const override { return FFd; }
    int Write(const char *Data, int Count) override
    {
        int done = 0;
        while (done < Count) {
            ssize_t n = ::write(FFd, Data + done, size_t(Count - done));
            if (n > 0) {
                done += int(n);
            } else {
                pollfd p{FFd, POLLOUT, 0};
                ::poll(&p, 1, 1000);
            }
        }
        return done;
    }
    int Read(char *Data, int Count) override
    {
        ssize_t n = ::read(FFd, Data, size_t(Count));
        return n > 0 ? int(n) : 0;
    }

private:
    int FFd = -1;
};

class PortEndpoint : public Endpoint {
public:
    explicit PortEndpoint(const QString &Path)
    {
        FPort.SetPort(Path);
        FPort.Open();
        // Bulk writes are not meant to time out here.
        FPort.Timeouts().SetWriteTotalM(0);
        FPort.Timeouts().SetWriteTotalC(0);
    }
    int Fd() const override { return FPort.Handle(); }
    int Write(const char *Data, int Count) override { return FPort.Write(Data, Count); }
    int Read(char *Data, int Count) override { return FPort.Read(Data, Count); }

private:
    TComPort FPort;
};

std::unique_ptr<Endpoint> Make(bool Port, const QString &Path)
{
    if (Port)
        return std::make_unique<PortEndpoint>(Path);
    return std::make_unique<RawEndpoint>(Path);
}

/// Seconds to push Bytes through the endpoint while a thread drains the far end.
double Throughput(bool Port, size_t Bytes)
{
    Pty pty;
    auto end = Make(Port, pty.Slave);
    std::vector<char> chunk(64 * 1024, 'x');
    std::atomic<size_t> received{0};
    const auto start = Clock::now();
    std::thread drain([&] {
        std::vector<char> buf(64 * 1024);
        while (received < Bytes) {
            ssize_t n = ::read(pty.Master, buf.data(), buf.size());
            if (n <= 0)
                break;
            received += size_t(n);
        }
    });
    for (size_t sent = 0; sent < Bytes;) {
        const int n = int(std::min(chunk.size(), Bytes - sent));
        sent += size_t(end->Write(chunk.data(), n));
    }
    drain.join();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// Microseconds per 6-byte request / 6-byte reply, the far end echoing on a thread.
std::vector<double> RoundTrips(bool Port, int Count)
{
    Pty pty;
    auto end = Make(Port, pty.Slave);
    std::thread echo([&] {
        char buf[6];
        for (int i = 0; i < Count; ++i) {
            int got = 0;
            while (got < 6) {
                ssize_t n = ::read(pty.Master, buf + got, size_t(6 - got));
                if (n <= 0)
                    return;
                got += int(n);
            }
            if (::write(pty.Master, buf, 6) != 6)
                return;
        }
    });
    std::vector<double> us;
    us.reserve(size_t(Count));
    const char request[6] = {0x5A, 0x01, 0x02, 0x03, 0x04, 0x05};
    char reply[6];
    for (int i = 0; i < Count; ++i) {
        const auto t0 = Clock::now();
        end->Write(request, 6);
        int got = 0;
        while (got < 6) {
            pollfd p{end->Fd(), POLLIN, 0};
            ::poll(&p, 1, 1000);
            got += end->Read(reply + got, 6 - got);
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    echo.join();
    return us;
}

double Percentile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

double Median(std::vector<double> v) { return Percentile(std::move(v), 0.5); }

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int reps = argc > 1 ? std::atoi(argv[1]) : 7;
    const int trips = argc > 2 ? std::atoi(argv[2]) : 2000;
    const size_t bytes = size_t(argc > 3 ? std::atoi(argv[3]) : 16) << 20;

    std::vector<double> tputRatio, medRatio, p99Port;
    std::printf("rep  raw MiB/s  port MiB/s  ratio | raw med us  port med us  ratio | raw p99  port p99\n");
    for (int r = 0; r < reps; ++r) {
        const bool portFirst = r % 2 == 1;
        double tRaw = 0, tPort = 0;
        std::vector<double> rtRaw, rtPort;
        for (int k = 0; k < 2; ++k) {
            const bool port = (k == 0) == portFirst;
            (port ? tPort : tRaw) = Throughput(port, bytes);
            (port ? rtPort : rtRaw) = RoundTrips(port, trips);
        }
        const double mib = double(bytes) / (1 << 20);
        const double ratio = tRaw / tPort; // port throughput relative to raw
        const double mRaw = Median(rtRaw), mPort = Median(rtPort);
        const double pRaw = Percentile(rtRaw, 0.99), pPort = Percentile(rtPort, 0.99);
        tputRatio.push_back(ratio);
        medRatio.push_back(mPort / mRaw);
        p99Port.push_back(pPort);
        std::printf("%3d  %9.1f  %10.1f  %5.2f | %10.1f  %11.1f  %5.2f | %7.1f  %8.1f\n", r,
                    mib / tRaw, mib / tPort, ratio, mRaw, mPort, mPort / mRaw, pRaw, pPort);
    }
    const double tput = Median(tputRatio), med = Median(medRatio), p99 = Median(p99Port);
    std::printf("median of pairs: throughput %.2f x raw (target >= 0.90), round-trip median "
                "%.2f x raw (target <= 1.30), port p99 %.1f us (target <= 1000)\n",
                tput, med, p99);
    const bool ok = tput >= 0.9 && med <= 1.3 && p99 <= 1000;
    std::printf("%s\n", ok ? "targets met" : "targets NOT met");
    return ok ? 0 : 1;
}
