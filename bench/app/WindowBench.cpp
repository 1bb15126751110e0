// The configurator's own work, through the real window offscreen, against the simulated sensor
// in its own process at 9600 baud:
//   1. the read workflow (connect, seven queries, disconnect): wall time against the line time
//      of its bytes at 9600 8N1, the floor no implementation can beat, and against the same
//      requests sent raw (write, poll, read) to the same paced peer, the floor of this machine;
//   2. a calibration wait: this process's CPU time per second, against the same window idling
//      in its event loop for as long.

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/MessageBox.h"
#include "protocol/Exchange.h"
#include "protocol/Frame.h"
#include "tools/Pty.h"
#include "tools/SensorModel.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include "bench/BenchSupport.h"
#include "bench/protocol/BenchClients.h"

#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using bench::CpuSeconds;

namespace {

/// The simulator in its own process; its first line is the port to open.
struct TPeer : bench::Peer {
    explicit TPeer(const QStringList &args) : bench::Peer(QStringLiteral(TQ_SENSOR_SIM), args) {}
};

double Median(const std::vector<double> &v)
{
    return bench::Percentile(v, 0.5);
}

/// The read workflow's requests: connect, seven queries, disconnect.
QList<QByteArray> ReadRequests()
{
    return {
        BuildRequest(TCommand::COMM_MODE, QByteArray(1, '\1')), BuildRequest(TCommand::PING),
        BuildRequest(TCommand::ID), BuildRequest(TCommand::CMD_SET_INERT_T_WORK),
        BuildRequest(TCommand::CMD_SET_INERT_T_CALIB), BuildRequest(TCommand::CMD_SET_CAL_STAB_TIME),
        BuildRequest(TCommand::CMD_SET_INP_FLT_TIME), BuildRequest(TCommand::CMD_SET_HYST_WIDTH),
        BuildRequest(TCommand::CMD_CAL_ON), BuildRequest(TCommand::CMD_CAL_OFF),
        BuildRequest(TCommand::COMM_MODE, QByteArray(1, '\0'))};
}

/// Line time of the read workflow's requests and the sensor's replies, byte for byte.
double IdealReadMs()
{
    TSensorModel sensor{TSensorOptions{}};
    qsizetype bytes = 0;
    for (const QByteArray &request : ReadRequests())
        bytes += request.size() + sensor.Answer(request).Reply.size();
    return double(bytes) * 10.0 / 9600.0 * 1000.0; // start, 8 data, stop bits
}

int boxes = 0;


double RawReadMs()
{
    TPeer peer({QStringLiteral("--pace")});
    const int fd = bench::OpenRaw(peer.Path());
    QElapsedTimer t;
    t.start();
    for (const QByteArray &request : ReadRequests())
        bench::RawTransaction(fd, request);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    ::close(fd);
    return ms;
}

void ReadWorkflow(double idealMs)
{
    constexpr int Repetitions = 9;
    std::vector<double> wall, raw;
    for (int i = 0; i < Repetitions; ++i) {
        raw.push_back(RawReadMs());
        TPeer peer({QStringLiteral("--pace")});
        TfrmMain window(nullptr, {peer.Path()});
        window.show();
        // The first paint of a new window is not the workflow's: let it happen before the clock.
        QElapsedTimer shown;
        shown.start();
        while (!(window.windowHandle() && window.windowHandle()->isExposed()) && shown.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        window.tbUpload->click();
        wall.push_back(double(t.nsecsElapsed()) / 1e6);
        if (window.txtCalOff->text() != QStringLiteral("1187"))
            ++boxes; // the read did not reach its end
    }
    const double median = Median(wall);
    std::printf("read workflow, paced peer at 9600 baud, %d fresh peers and windows:\n", Repetitions);
    std::printf("  ideal line time of the 11 exchanges %.1f ms\n", idealMs);
    std::printf("  raw     median %.1f ms (the same requests, write/poll/read, no window)\n", Median(raw));
    std::printf("  window  median %.1f ms, min %.1f ms, max %.1f ms\n", median, *std::min_element(wall.begin(), wall.end()),
                *std::max_element(wall.begin(), wall.end()));
    std::printf("  ratio window/ideal %.3f (target <= 1.05), raw/ideal %.3f, window/raw %.3f\n", median / idealMs,
                Median(raw) / idealMs, median / Median(raw));
}

void CalibrationWait()
{
    constexpr int CalMs = 3000;
    TPeer peer({QStringLiteral("--pace")});
    TfrmMain window(nullptr, {peer.Path()});
    window.show();

    // Baseline: the same window idling in its event loop for as long.
    double cpu = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop idle;
    QTimer::singleShot(CalMs, Qt::PreciseTimer, &idle, &QEventLoop::quit);
    idle.exec();
    const double idleCpu = CpuSeconds() - cpu, idleWall = double(wall.elapsed()) / 1000.0;

    window.txtCalTime->setText(QString::number(CalMs));
    cpu = CpuSeconds();
    wall.restart();
    window.cmdCalOn->click();
    const double calCpu = CpuSeconds() - cpu, calWall = double(wall.elapsed()) / 1000.0;
    if (calWall < CalMs / 1000.0)
        ++boxes;

    std::printf("calibration wait of %d ms (CPU of this process, event thread included):\n", CalMs);
    std::printf("  idle window     %.4f CPU-s in %.2f s (%.3f %% of a core)\n", idleCpu, idleWall,
                100 * idleCpu / idleWall);
    std::printf("  calibrate on    %.4f CPU-s in %.2f s (%.3f %% of a core, target <= 1 %%)\n", calCpu, calWall,
                100 * calCpu / calWall);
    std::printf("  ratio calibration/idle CPU per second %.2f\n", (calCpu / calWall) / std::max(idleCpu / idleWall, 1e-9));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config; // the window loads and stores its port choice
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    TApplication app(argc, argv);
    InstallExceptionDisplay();
    SetMessageBoxHook([](const TMessageBoxCall &call) {
        std::fprintf(stderr, "box: %s\n", qPrintable(call.Text));
        ++boxes;
    });

    ReadWorkflow(IdealReadMs());
    CalibrationWait();
    if (boxes != 0) {
        std::fprintf(stderr, "%d failures: the figures above are not valid\n", boxes);
        return 1;
    }
    return 0;
}
