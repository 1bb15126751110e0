// tq-sensor-sim: a simulated level sensor on a serial line. Without a device argument it makes a
// pseudo-terminal pair; the first line on stdout is always the port to open.

#include "tools/Pty.h"
#include "tools/SensorSim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstring>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

int StopPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char stop = 1;
    [[maybe_unused]] ssize_t n = ::write(StopPipe[1], &stop, 1);
}

int Number(const QCommandLineParser &parser, const QString &name, int fallback)
{
    if (!parser.isSet(name))
        return fallback;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok, 0);
    if (!ok) {
        std::fprintf(stderr, "tq-sensor-sim: --%s needs a number\n", qPrintable(name));
        std::exit(2);
    }
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tq-sensor-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TQ_FILE_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated capacitive level sensor on a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("device"), QStringLiteral("Serve this terminal instead of a new pseudo-terminal."), QStringLiteral("[device]"));
    parser.addOptions({
        {QStringLiteral("pace"), QStringLiteral("Take the 9600 baud line time for every byte.")},
        {QStringLiteral("delay"), QStringLiteral("Pause before every reply."), QStringLiteral("ms")},
        {QStringLiteral("nak"), QStringLiteral("Refuse this command code with NAK."), QStringLiteral("code")},
        {QStringLiteral("ignore"), QStringLiteral("Never answer this command code; answer the others."), QStringLiteral("code")},
        {QStringLiteral("delay-for"),
         QStringLiteral("Answer this command code after ms instead of --delay. Longer than the configurator's time-out "
                        "(1000 ms, 50 ms for COMM_MODE, code 0) makes a late reply, which comes while the next "
                        "request waits: the sensor answers one request after the other."),
         QStringLiteral("code=ms")},
        {QStringLiteral("silent-after"), QStringLiteral("Stop answering after this many replies."), QStringLiteral("n")},
        {QStringLiteral("garbage"), QStringLiteral("Send this many stray bytes before every reply."), QStringLiteral("n")},
        {QStringLiteral("fragment"), QStringLiteral("Send replies in pieces of this many bytes."), QStringLiteral("n")},
        {QStringLiteral("fragment-gap"), QStringLiteral("Pause between the pieces."), QStringLiteral("ms")},
        {QStringLiteral("device-type"), QStringLiteral("Report this device type (default 0x5451)."), QStringLiteral("type")},
        {QStringLiteral("firmware"), QStringLiteral("Report this firmware version (default 0x0103)."), QStringLiteral("version")},
        {QStringLiteral("save-error"), QStringLiteral("Report an internal error on SAVE_CONF.")},
        {QStringLiteral("clamp"), QStringLiteral("Hold written values to the sensor's limits.")},
        {QStringLiteral("requests"),
         QStringLiteral("Append every request frame received to this file as it arrives, in hex, one a line."),
         QStringLiteral("file")},
    });
    parser.process(app);

    TSensorOptions options;
    options.Pace = parser.isSet(QStringLiteral("pace"));
    options.ProcessingDelayMs = Number(parser, QStringLiteral("delay"), 0);
    options.NakCommand = Number(parser, QStringLiteral("nak"), -1);
    options.SilentAfter = Number(parser, QStringLiteral("silent-after"), -1);
    options.IgnoredCommand = Number(parser, QStringLiteral("ignore"), -1);
    if (parser.isSet(QStringLiteral("delay-for"))) {
        const QStringList parts = parser.value(QStringLiteral("delay-for")).split(QLatin1Char('='));
        bool codeOk = false, msOk = false;
        options.SlowCommand = parts.value(0).toInt(&codeOk, 0);
        options.SlowCommandMs = parts.value(1).toInt(&msOk, 0);
        if (parts.size() != 2 || !codeOk || !msOk || options.SlowCommandMs < 0) {
            std::fprintf(stderr, "tq-sensor-sim: --delay-for needs code=ms, e.g. 9=1100\n");
            return 2;
        }
    }
    options.GarbageBytes = Number(parser, QStringLiteral("garbage"), 0);
    options.FragmentBytes = Number(parser, QStringLiteral("fragment"), 0);
    options.FragmentGapMs = Number(parser, QStringLiteral("fragment-gap"), 0);
    options.DeviceType = quint16(Number(parser, QStringLiteral("device-type"), 0x5451));
    options.Firmware = quint16(Number(parser, QStringLiteral("firmware"), 0x0103));
    options.SaveConfError = parser.isSet(QStringLiteral("save-error"));
    options.Clamp = parser.isSet(QStringLiteral("clamp"));

    std::unique_ptr<TPtyPair> pty;
    int fd = -1;
    QString path;
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty()) {
        try {
            pty = std::make_unique<TPtyPair>();
        } catch (const std::exception &e) {
            std::fprintf(stderr, "tq-sensor-sim: cannot create a pseudo-terminal: %s\n", e.what());
            return 1;
        }
        fd = pty->Master();
        path = pty->SlavePath();
    } else {
        path = args.first();
        fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 || !SetRawLine(fd)) {
            std::perror(qPrintable(QStringLiteral("tq-sensor-sim: ") + path));
            return 1;
        }
    }

    if (pipe2(StopPipe, O_CLOEXEC) != 0) {
        std::perror("tq-sensor-sim: pipe");
        return 1;
    }
    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);

    TSensorSim sim(fd, options);
    QFile requests(parser.value(QStringLiteral("requests")));
    if (parser.isSet(QStringLiteral("requests"))) {
        if (!requests.open(QIODevice::WriteOnly | QIODevice::Append)) {
            std::fprintf(stderr, "tq-sensor-sim: %s: %s\n", qPrintable(requests.fileName()), qPrintable(requests.errorString()));
            return 1;
        }
        sim.SetRequestSink([&requests](const QByteArray &frame) {
            requests.write(frame.toHex(' ') + '\n');
            requests.flush();
        });
    }
    const int error = sim.Serve(StopPipe[0]);
    if (error != 0) {
        std::fprintf(stderr, "tq-sensor-sim: the line failed: %s\n", std::strerror(error));
        return 1;
    }
    return 0;
}
