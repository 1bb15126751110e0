// tq-sensor through a real ser2net on 127.0.0.1 (process start included), each figure beside a
// baseline measured in the same run:
//   1. read 8 paced sensors behind 8 RFC 2217 ports in one command, against one such port alone
//      (target <= 1.3x);
//   2. one read through RFC 2217 and through raw TCP, against the same read on the pty itself:
//      what the server's round trips cost (ser2net's default chardelay included).

#include "bench/BenchSupport.h"
#include "tests/tools/sensor-cli/Ser2net.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

double RunMs(const QStringList &args)
{
    // ser2net lets go of a device a moment after its client left.
    QThread::msleep(150);
    QElapsedTimer clock;
    clock.start();
    QProcess p;
    p.start(QStringLiteral(TQ_SENSOR), args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        std::fprintf(stderr, "tq-sensor %s ended with %d: %s%s\n", qPrintable(args.join(' ')), p.exitCode(),
                     p.readAllStandardOutput().constData(), p.readAllStandardError().constData());
        std::exit(1);
    }
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int reps = argc > 1 ? std::atoi(argv[1]) : 5;
    if (!TSer2net::Available()) {
        std::fprintf(stderr, "ser2net is not installed (scripts/deps.sh installs it)\n");
        return 1;
    }
    std::vector<std::unique_ptr<bench::Peer>> sensors;
    QStringList paths;
    for (int i = 0; i < 8; ++i) {
        sensors.push_back(std::make_unique<bench::Peer>(QStringLiteral(TQ_SENSOR_SIM), QStringList{QStringLiteral("--pace")}));
        paths << sensors.back()->Path();
    }
    TSer2net server(paths);
    QStringList rfc;
    for (int i = 0; i < 8; ++i)
        rfc << server.Rfc2217(i);
    const QString read = QStringLiteral("read");

    std::printf("tq-sensor read through ser2net on 127.0.0.1, paced sensors at 9600 baud (median of %d runs)\n", reps);
    const double one = bench::MedianOf(reps, [&] { return RunMs({read, rfc[0]}); });
    const double eight = bench::MedianOf(reps, [&] { return RunMs(QStringList{read} + rfc); });
    std::printf("  1 RFC 2217 port:      %7.1f ms\n", one);
    std::printf("  8 in one command:     %7.1f ms  %.2fx one port (target <= 1.3x)\n", eight, eight / one);

    const double direct = bench::MedianOf(reps, [&] { return RunMs({read, paths[1]}); });
    const double viaRfc = bench::MedianOf(reps, [&] { return RunMs({read, rfc[1]}); });
    const double viaTcp = bench::MedianOf(reps, [&] { return RunMs({read, server.Tcp(1)}); });
    std::printf("  direct pty:           %7.1f ms\n", direct);
    std::printf("  RFC 2217:             %7.1f ms  %.2fx direct, %+.1f ms per read of 13 transactions\n", viaRfc,
                viaRfc / direct, viaRfc - direct);
    std::printf("  raw TCP:              %7.1f ms  %.2fx direct\n", viaTcp, viaTcp / direct);
    return 0;
}
