// What one request/response costs this process, four clients side by side on the same kind of
// line: the raw floor (termios, write, poll, read), a client on Qt's serial module (when the
// build found it), the floor of a transaction that keeps the protocol's rules (stale input
// drained, the wait a pass of the event loop), and Exchange on the port as the configurator
// opens it. Each repetition gives
// every client a fresh pseudo-terminal pair and a fresh instant peer in its own process, in a
// rotating order; opening and closing the line are left out. Printed per round trip, as
// ratios to the raw client of the same run:
//   CPU time (user + system, every thread of this process; the peer's is not counted),
//   context switches (voluntary and involuntary, from getrusage),
//   system calls (counted by strace -f -c on a child process of this program that runs one
//   client for N and for 2N round trips: the difference over N leaves the set-up out).
// CPU time per round trip is what a loaded machine disturbs least; wall time is not shown.

#include "bench/BenchSupport.h"
#include "bench/protocol/BenchClients.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#ifdef TQ_HAVE_QT_SERIAL
#include <QSerialPort>
#endif

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <vector>

namespace {

struct TCost {
    double Cpu = 0;      ///< seconds
    double Switches = 0; ///< voluntary + involuntary
};

TCost Now()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return {double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6,
            double(u.ru_nvcsw + u.ru_nivcsw)};
}

const QByteArray &Request()
{
    static const QByteArray request = BuildRequest(TCommand::ID);
    return request;
}

TCost operator-(const TCost &a, const TCost &b) { return {a.Cpu - b.Cpu, a.Switches - b.Switches}; }

/// Runs `rounds` round trips on the line `path`, opened and closed around them, and returns
/// what the round trips alone cost: opening a port and the first requests of a session (its
/// event thread starting, first pages) are paid once per session, not per request.
using TClient = std::function<TCost(const QString &path, int rounds)>;
constexpr int SessionStart = 10; ///< round trips before the clock starts

TCost RawClient(const QString &path, int rounds)
{
    const int fd = bench::OpenRaw(path);
    TCost before;
    for (int i = -SessionStart; i < rounds; ++i) {
        if (i == 0)
            before = Now();
        bench::RawTransaction(fd, Request());
    }
    const TCost spent = Now() - before;
    ::close(fd);
    return spent;
}

TCost ExchangeClient(const QString &path, int rounds)
{
    static bench::TBenchHost host; // one per process, as the configurator has one window
    TCustomComPort &port = host.ComPort();
    port.SetPort(path);
    port.Open();
    TReplyBuffer buffer;
    quint32 count = 0;
    TCost before;
    for (int i = -SessionStart; i < rounds; ++i) {
        if (i == 0)
            before = Now();
        if (Exchange(host.Context, Request(), buffer, count) != ExchangeOk)
            std::abort();
    }
    const TCost spent = Now() - before;
    port.Close();
    return spent;
}

#ifdef TQ_HAVE_QT_SERIAL
/// As a Qt application would write it without an event loop of its own: write, then wait for
/// readyRead and read until the frame is whole.
TCost QtSerialClient(const QString &path, int rounds)
{
    QSerialPort port(path);
    port.setBaudRate(9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite))
        std::abort();
    TCost before;
    for (int i = -SessionStart; i < rounds; ++i) {
        if (i == 0)
            before = Now();
        port.write(Request());
        if (!port.waitForBytesWritten(2000))
            std::abort();
        TReplyBuffer buffer;
        quint32 count = 0;
        for (;;) {
            if (port.bytesAvailable() == 0 && !port.waitForReadyRead(2000))
                std::abort();
            const qint64 n = port.read(reinterpret_cast<char *>(buffer.data()) + count,
                                       qint64(std::min<quint32>(ResponseChunk, ReplyBufferSize - count)));
            if (n < 0)
                std::abort();
            count += quint32(n);
            if (ScanResponse(buffer.data(), count) == 1)
                break;
        }
    }
    const TCost spent = Now() - before;
    port.close();
    return spent;
}
#endif

/// The least a transaction that keeps the protocol's rules can do, written without the serial
/// component: read the stale input away, write, and sleep in one pass of the event loop (the
/// window's messages are handled there) until a notifier reports the reply, then read it,
/// while the time-out timer runs.
TCost RulesClient(const QString &path, int rounds)
{
    const int fd = bench::OpenRaw(path);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    bool woken = false;
    QObject::connect(&notifier, &QSocketNotifier::activated, [&woken] { woken = true; });
    QTimer timeout; // never due here, but it is armed through every wait, as the transaction's
    timeout.setTimerType(Qt::PreciseTimer);
    timeout.start(DefaultTimerInterval);
    TCost before;
    for (int i = -SessionStart; i < rounds; ++i) {
        if (i == 0)
            before = Now();
        TReplyBuffer buffer;
        while (::read(fd, buffer.data(), ResponseChunk) > 0) {
        }
        if (::write(fd, Request().constData(), size_t(Request().size())) != Request().size())
            std::abort();
        quint32 count = 0;
        for (;;) {
            woken = false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (!woken)
                continue;
            const ssize_t n = ::read(fd, buffer.data() + count, ResponseChunk);
            if (n > 0) {
                count += quint32(n);
                if (ScanResponse(buffer.data(), count) == 1)
                    break;
            }
        }
    }
    const TCost spent = Now() - before;
    ::close(fd);
    return spent;
}

struct TNamedClient {
    const char *Name;
    TClient Run;
};

std::vector<TNamedClient> Clients()
{
    std::vector<TNamedClient> clients{{"raw", RawClient}};
#ifdef TQ_HAVE_QT_SERIAL
    clients.push_back({"qtserial", QtSerialClient});
#endif
    clients.push_back({"rules", RulesClient});
    clients.push_back({"exchange", ExchangeClient});
    return clients;
}

struct TPeer : bench::Peer {
    TPeer() : bench::Peer(QStringLiteral(TQ_SENSOR_SIM), {}) {}
};

/// System calls of this program running `client` for `rounds` round trips, all threads.
long CountSyscalls(const QString &strace, const QString &client, int rounds)
{
    TPeer peer;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("counts"));
    QProcess p;
    p.start(strace, {QStringLiteral("-f"), QStringLiteral("-c"), QStringLiteral("-o"), out, QStringLiteral("--"),
                     QCoreApplication::applicationFilePath(), QStringLiteral("--run"), client, QString::number(rounds),
                     peer.Path()});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return -1;
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    // The summary ends with "100.00  seconds  usecs/call  calls  [errors]  total".
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 5 && fields.last() == "total")
            return fields[3].toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "--run") == 0) { // the child that strace counts
        for (const TNamedClient &c : Clients())
            if (QLatin1String(c.Name) == QLatin1String(argv[2]))
                c.Run(QString::fromLocal8Bit(argv[4]), std::atoi(argv[3]));
        return 0;
    }
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 15;
    constexpr int Rounds = 200;
    const std::vector<TNamedClient> clients = Clients();

    std::vector<std::vector<double>> cpu(clients.size()), switches(clients.size());
    for (int r = 0; r < repetitions; ++r) {
        for (size_t k = 0; k < clients.size(); ++k) {
            const size_t i = (k + size_t(r)) % clients.size(); // rotate who goes first
            TPeer peer;
            clients[i].Run(peer.Path(), 10); // warm: first opens, first pages
            const TCost spent = clients[i].Run(peer.Path(), Rounds);
            cpu[i].push_back(spent.Cpu / Rounds * 1e6);
            switches[i].push_back(spent.Switches / Rounds);
        }
    }

    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    std::vector<double> calls(clients.size(), -1);
    if (!strace.isEmpty()) {
        constexpr int N = 200;
        for (size_t i = 0; i < clients.size(); ++i) {
            const long once = CountSyscalls(strace, QLatin1String(clients[i].Name), N);
            const long twice = CountSyscalls(strace, QLatin1String(clients[i].Name), 2 * N);
            if (once >= 0 && twice >= 0)
                calls[i] = double(twice - once) / N;
        }
    }

    std::printf("one request/response (ID, 8-byte reply) against an instant peer, %d fresh lines per client, "
                "%d round trips each; medians per round trip\n",
                repetitions, Rounds);
#ifndef TQ_HAVE_QT_SERIAL
    std::printf("  (Qt's serial module was not found at build time: install qt6-serialport-dev to compare it)\n");
#endif
    if (strace.isEmpty())
        std::printf("  (strace not found: no system-call counts)\n");
    const double rawCpu = bench::Percentile(cpu[0], 0.5), rawSw = bench::Percentile(switches[0], 0.5);
    for (size_t i = 0; i < clients.size(); ++i) {
        const double c = bench::Percentile(cpu[i], 0.5), s = bench::Percentile(switches[i], 0.5);
        std::printf("  %-9s CPU %6.1f us (%.2fx raw, p10-p90 %.1f-%.1f us)  switches %.2f (%.2fx raw)", clients[i].Name,
                    c, c / rawCpu, bench::Percentile(cpu[i], 0.1), bench::Percentile(cpu[i], 0.9), s,
                    s / std::max(rawSw, 1e-9));
        if (calls[i] >= 0)
            std::printf("  syscalls %.1f (%.2fx raw)", calls[i], calls[i] / std::max(calls[0], 1e-9));
        std::printf("\n");
    }
    std::printf("  targets for exchange: CPU <= 1.3x raw, <= 2 switches and <= 8 system calls per round trip\n");
    return 0;
}
