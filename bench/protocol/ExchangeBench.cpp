// Transaction cost against a peer in its own process, on a fresh pseudo-terminal each
// repetition. Every figure is printed beside a baseline measured in the same run:
//   1. one transaction against an instant peer: raw write + poll() + read vs Exchange;
//   2. CPU time while a transaction waits 2 s for a silent peer: the event-driven wait vs
//      the plain polling loop (non-blocking read, handle events, repeat);
//   3. a read session of 11 transactions against a peer paced at 9600 baud: raw vs commands;
//   4. the read workflow (connect, seven reads, disconnect) against a paced, correct sensor with
//      replies paired by order alone, as earlier releases did, and with the checked pairing,
//      each against the ideal line time of its 110 bytes.
// With the argument "workflow" only the last one runs.
// The event loop is Qt's default (GLib on Linux); QT_NO_GLIB=1 measures Qt's own dispatcher.

#include "protocol/Commands.h"
#include "protocol/Connection.h"
#include "protocol/ReplyCheck.h"
#include "protocol/Workflows.h"
#include "protocol/DeviceHost.h"
#include "protocol/Exchange.h"
#include "protocol/Frame.h"
#include "protocol/SensorContext.h"
#include "protocol/Timer.h"
#include "serial/ComPort.h"
#include "tools/Pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include "bench/BenchSupport.h"
#include "bench/protocol/BenchClients.h"

#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using bench::CpuSeconds;
using bench::OpenRaw;
using bench::Percentile;
using bench::RawTransaction;
using bench::TBenchHost;

namespace {

/// The simulator in its own process on a fresh pseudo-terminal.
struct TPeer : bench::Peer {
    explicit TPeer(const QStringList &args) : bench::Peer(QStringLiteral(TQ_SENSOR_SIM), args) {}
};

void InstantPeer(TBenchHost &host, const char *label)
{
    constexpr int Repetitions = 30;
    constexpr int Transactions = 100;
    const QByteArray request = BuildRequest(TCommand::ID);
    std::vector<double> raw, engine, ratios;
    for (int r = 0; r < Repetitions; ++r) {
        TPeer peer({});
        std::vector<double> rawRep, engineRep;
        auto runRaw = [&] {
            const int fd = OpenRaw(peer.Path());
            for (int i = 0; i < Transactions; ++i) {
                QElapsedTimer t;
                t.start();
                RawTransaction(fd, request);
                rawRep.push_back(double(t.nsecsElapsed()) / 1000.0);
            }
            ::close(fd);
        };
        auto runEngine = [&] {
            host.ComPort().SetPort(peer.Path());
            host.ComPort().Open();
            TReplyBuffer buffer;
            quint32 count = 0;
            for (int i = 0; i < Transactions; ++i) {
                QElapsedTimer t;
                t.start();
                if (Exchange(host.Context, request, buffer, count) != ExchangeOk)
                    std::abort();
                engineRep.push_back(double(t.nsecsElapsed()) / 1000.0);
            }
            host.ComPort().Close();
        };
        // Alternate the order so that neither side always runs on a warmed-up peer.
        if (r % 2 == 0) {
            runRaw();
            runEngine();
        } else {
            runEngine();
            runRaw();
        }
        ratios.push_back(Percentile(engineRep, 0.5) / Percentile(rawRep, 0.5));
        raw.insert(raw.end(), rawRep.begin(), rawRep.end());
        engine.insert(engine.end(), engineRep.begin(), engineRep.end());
    }
    const double rawMedian = Percentile(raw, 0.5), exMedian = Percentile(engine, 0.5);
    std::printf("instant peer, %s, %d transactions each, %d fresh peers:\n", label, Repetitions * Transactions,
                Repetitions);
    std::printf("  raw floor  median %7.1f us  p99 %7.1f us\n", rawMedian, Percentile(raw, 0.99));
    std::printf("  Exchange   median %7.1f us  p99 %7.1f us\n", exMedian, Percentile(engine, 0.99));
    std::printf("  ratio of medians %.2f, median of per-peer ratios %.2f (target <= 1.3); Exchange p99 %.3f ms "
                "(target <= 1)\n",
                exMedian / rawMedian, Percentile(ratios, 0.5), Percentile(engine, 0.99) / 1000.0);
}

/// The wait as a plain polling loop: non-blocking read, handle events, repeat.
int PollingExchange(TSensorContext &context, const QByteArray &request)
{
    TCustomComPort &port = context.ComPort();
    TTimer &timer = context.TimeoutTimer();
    TReplyBuffer buffer;
    quint32 count = 0;
    while (port.Read(buffer.data(), 1) != 0) {
    }
    port.Write(request.constData(), int(request.size()));
    timer.SetEnabled(true);
    context.TimedOut = false;
    for (;;) {
        const int n = port.Read(buffer.data() + count, ResponseChunk);
        if (n > 0) {
            RestartTimer(timer);
            count += quint32(n);
            if (ScanResponse(buffer.data(), count) == 1)
                return ExchangeOk;
        }
        QCoreApplication::processEvents();
        if (context.TimedOut)
            return ExchangeTimedOut;
    }
}

void SilentWait(TBenchHost &host)
{
    TPeer peer({QStringLiteral("--silent-after"), QStringLiteral("0")});
    host.ComPort().SetPort(peer.Path());
    host.ComPort().Open();
    host.TimeoutTimer().SetEnabled(false);
    host.TimeoutTimer().SetInterval(2000);
    const QByteArray request = BuildRequest(TCommand::PING);
    TReplyBuffer buffer;
    quint32 count = 0;

    double cpu = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const int result = Exchange(host.Context, request, buffer, count);
    const double eventCpu = CpuSeconds() - cpu, eventWall = double(wall.elapsed()) / 1000.0;

    host.TimeoutTimer().SetEnabled(false);
    cpu = CpuSeconds();
    wall.restart();
    const int pollResult = PollingExchange(host.Context, request);
    const double pollCpu = CpuSeconds() - cpu, pollWall = double(wall.elapsed()) / 1000.0;
    host.ComPort().Close();
    host.TimeoutTimer().SetInterval(DefaultTimerInterval);
    if (result != ExchangeTimedOut || pollResult != ExchangeTimedOut)
        std::abort();

    std::printf("silent peer, 2 s time-out (CPU of this process):\n");
    std::printf("  polling loop  %.3f CPU-s in %.2f s (%.1f %% of a core)\n", pollCpu, pollWall, 100 * pollCpu / pollWall);
    std::printf("  Exchange      %.3f CPU-s in %.2f s (%.2f %% of a core, target <= 1 %%)\n", eventCpu, eventWall,
                100 * eventCpu / eventWall);
    std::printf("  ratio Exchange/polling %.4f\n", eventCpu / std::max(pollCpu, 1e-9));
}

const QList<QByteArray> &SessionRequests()
{
    // Connect (COMM_MODE 1, PING, ID), the seven queries, disconnect (COMM_MODE 0).
    static const QList<QByteArray> requests = {
        BuildRequest(TCommand::COMM_MODE, QByteArray(1, '\1')), BuildRequest(TCommand::PING),
        BuildRequest(TCommand::ID), BuildRequest(TCommand::CMD_SET_INERT_T_WORK),
        BuildRequest(TCommand::CMD_SET_INERT_T_CALIB), BuildRequest(TCommand::CMD_SET_CAL_STAB_TIME),
        BuildRequest(TCommand::CMD_SET_INP_FLT_TIME), BuildRequest(TCommand::CMD_SET_HYST_WIDTH),
        BuildRequest(TCommand::CMD_CAL_ON), BuildRequest(TCommand::CMD_CAL_OFF),
        BuildRequest(TCommand::COMM_MODE, QByteArray(1, '\0'))};
    return requests;
}

void PacedSession(TBenchHost &host)
{
    constexpr int Repetitions = 9;
    std::vector<double> raw, engine;
    auto runRaw = [&] {
        TPeer peer({QStringLiteral("--pace")});
        const int fd = OpenRaw(peer.Path());
        QElapsedTimer t;
        t.start();
        for (const QByteArray &request : SessionRequests())
            RawTransaction(fd, request);
        raw.push_back(double(t.nsecsElapsed()) / 1e6);
        ::close(fd);
    };
    auto runEngine = [&] {
        TPeer peer({QStringLiteral("--pace")});
        host.ComPort().SetPort(peer.Path());
        host.ComPort().Open();
        QElapsedTimer t;
        t.start();
        DevCommMode(host.Context, 1);
        TReplyBuffer buffer;
        quint32 count = 0;
        int failures = Exchange(host.Context, BuildRequest(TCommand::PING), buffer, count);
        quint16 type = 0, version = 0;
        failures += DevId(host.Context, type, version);
        TSensorContext &c = host.Context;
        failures += DevInertTWork(c, false) + DevInertTCalib(c, false) + DevCalStabTime(c, false) + DevInpFltTime(c, false);
        failures += DevHystWidth(c, false) + DevCalOn(c, false) + DevCalOff(c, false);
        DevCommMode(host.Context, 0);
        engine.push_back(double(t.nsecsElapsed()) / 1e6);
        host.ComPort().Close();
        if (failures != 0 || type != 0x5451)
            std::abort();
    };
    for (int r = 0; r < Repetitions; ++r) {
        if (r % 2 == 0) {
            runRaw();
            runEngine();
        } else {
            runEngine();
            runRaw();
        }
    }
    const double ideal = 110 * 10 * 1000.0 / 9600;
    const double rawMedian = Percentile(raw, 0.5), exMedian = Percentile(engine, 0.5);
    std::printf("read session, 11 transactions, peer paced at 9600 baud (ideal %.1f ms):\n", ideal);
    std::printf("  raw floor  median %.2f ms\n", rawMedian);
    std::printf("  commands   median %.2f ms, %+.2f ms over the floor (target <= 1 ms), %.3fx the ideal (target <= 1.03)\n",
                exMedian, exMedian - rawMedian, exMedian / ideal);
}

void PacedReadWorkflow(TBenchHost &host)
{
    constexpr int Repetitions = 11;
    const TComEvents events = host.ComPort().Events();
    SetSensorLine(host.ComPort()); // the line as the window opens it
    std::vector<double> orderOnly, checked;
    auto run = [&](TReplyPairing pairing, std::vector<double> &times) {
        TPeer peer({QStringLiteral("--pace")});
        host.Chosen = peer.Path();
        SetReplyPairing(pairing);
        QElapsedTimer t;
        t.start();
        if (ConnectDevice(host.Context) != ConnectOk)
            std::abort();
        const int failed = ReadSensorCommands(host.Context);
        DisconnectDevice(host.Context);
        times.push_back(double(t.nsecsElapsed()) / 1e6);
        if (failed != 0)
            std::abort();
    };
    for (int r = 0; r < Repetitions; ++r) {
        // Alternate the order so that neither always runs first on a fresh peer.
        if (r % 2 == 0) {
            run(rpOrderOnly, orderOnly);
            run(rpChecked, checked);
        } else {
            run(rpChecked, checked);
            run(rpOrderOnly, orderOnly);
        }
    }
    SetReplyPairing(rpChecked);
    host.ComPort().SetEvents(events);
    const double ideal = 110 * 10 * 1000.0 / 9600;
    const double before = Percentile(orderOnly, 0.5), after = Percentile(checked, 0.5);
    std::printf("read workflow, correct sensor paced at 9600 baud, %d runs each (ideal line time %.1f ms):\n",
                Repetitions, ideal);
    std::printf("  paired by order alone  median %.2f ms  ratio to ideal %.3f\n", before, before / ideal);
    std::printf("  checked pairing        median %.2f ms  ratio to ideal %.3f\n", after, after / ideal);
    std::printf("  checked / order alone  %.4f (target <= 1.03)\n", after / before);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TBenchHost host;
    // "workflow": only the last measurement.
    if (argc > 1 && qstrcmp(argv[1], "workflow") == 0) {
        PacedReadWorkflow(host);
        return 0;
    }
    InstantPeer(host, "port as the configurator opens it");
    // The same without the port's event thread, to tell its share from the engine's.
    const TComEvents events = host.ComPort().Events();
    host.ComPort().SetEvents(TComEvents{});
    InstantPeer(host, "port without line events");
    host.ComPort().SetEvents(events);
    SilentWait(host);
    PacedSession(host);
    PacedReadWorkflow(host);
    return 0;
}
