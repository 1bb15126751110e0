// tq-sensor on many ports at once, as a user runs it (process start included). Every figure is
// printed beside a baseline measured in the same run:
//   1. read N paced sensors (9600 baud line time) in one command, N = 1, 8, 32, 64: against one
//      sensor alone (wall time) with the tool's CPU time per sensor, and for N up to 8 against
//      the same N sensors read one command after another;
//   2. find over 8 silent ports: against find over one silent port and against one
//      connection time-out (COMM_MODE's 50 ms plus PING's 1000 ms).

#include "bench/BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

/// Wall time of one tq-sensor run in ms; aborts when it does not end as expected.
double LastCpuMs = 0; ///< CPU time (user + system) of the last tq-sensor run

double ChildrenCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e6 + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec))
           / 1000.0;
}

double RunMs(const QStringList &args, int expectedCode)
{
    const double cpuBefore = ChildrenCpuMs();
    QElapsedTimer clock;
    clock.start();
    QProcess p;
    p.start(QStringLiteral(TQ_SENSOR), args);
    if (!p.waitForFinished(120000) || p.exitCode() != expectedCode) {
        std::fprintf(stderr, "tq-sensor %s ended with %d: %s\n", qPrintable(args.join(' ')), p.exitCode(),
                     p.readAllStandardError().constData());
        std::exit(1);
    }
    LastCpuMs = ChildrenCpuMs() - cpuBefore; // the sensors' simulators are reaped only at the end
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int reps = argc > 1 ? std::atoi(argv[1]) : 5;

    std::vector<std::unique_ptr<bench::Peer>> sensors;
    QStringList ports;
    for (int i = 0; i < 64; ++i) {
        sensors.push_back(std::make_unique<bench::Peer>(QStringLiteral(TQ_SENSOR_SIM), QStringList{QStringLiteral("--pace")}));
        ports << sensors.back()->Path();
    }
    const QString read = QStringLiteral("read");

    std::printf("tq-sensor read, paced sensors at 9600 baud (median of %d runs)\n", reps);
    const double one = bench::MedianOf(reps, [&] { return RunMs({read, ports[0]}, 0); });
    std::printf("  1 sensor alone:       %7.1f ms\n", one);
    for (int n : {1, 8, 32, 64}) {
        const QStringList some = ports.mid(0, n);
        std::vector<double> cpu;
        const double parallel = bench::MedianOf(reps, [&] {
            const double ms = RunMs(QStringList{read} + some, 0);
            cpu.push_back(LastCpuMs / n);
            return ms;
        });
        std::printf("  %2d in one command:   %7.1f ms  %.2fx one alone (target <= 1.3x at 64), CPU %.2f ms per sensor\n",
                    n, parallel, parallel / one, bench::Percentile(cpu, 0.5));
        if (n > 8)
            continue;
        const double inRow = bench::MedianOf(reps, [&] {
            double total = 0;
            for (const QString &port : some)
                total += RunMs({read, port}, 0);
            return total;
        });
        std::printf("  %2d in a row:         %7.1f ms, in one command takes %.2fx of it\n", n, inRow, parallel / inRow);
    }
    sensors.clear();

    std::vector<std::unique_ptr<bench::Pty>> silent;
    QStringList silentPorts;
    for (int i = 0; i < 8; ++i) {
        silent.push_back(std::make_unique<bench::Pty>());
        silentPorts << silent.back()->Slave;
    }
    const QString find = QStringLiteral("find");
    const double connectTimeout = 50 + 1000;
    const double findOne = bench::MedianOf(reps, [&] { return RunMs({find, silentPorts[0]}, 4); });
    const double findEight = bench::MedianOf(reps, [&] { return RunMs(QStringList{find} + silentPorts, 4); });
    std::printf("tq-sensor find over silent ports (median of %d runs)\n", reps);
    std::printf("  1 silent port:        %7.1f ms  %.2fx one connection time-out (%.0f ms)\n", findOne,
                findOne / connectTimeout, connectTimeout);
    std::printf("  8 silent ports:       %7.1f ms  %.2fx one connection time-out, %.2fx one port\n", findEight,
                findEight / connectTimeout, findEight / findOne);
    return 0;
}
