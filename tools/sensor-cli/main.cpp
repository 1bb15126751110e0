// tq-sensor: the sensor's workflows from a terminal or a script, on many ports at once.

#include "protocol/ExchangeTrace.h"
#include "serial/ComPortName.h"
#include "serial/Exception.h"
#include "serial/ProgramEnd.h"
#include "tools/sensor-cli/Console.h"
#include "tools/sensor-cli/ConsoleSession.h"
#include "tools/sensor-cli/ParallelPorts.h"
#include "tools/sensor-cli/PortList.h"
#include "tools/sensor-cli/Report.h"
#include "tools/sensor-cli/SensorHost.h"
#include "tools/sensor-cli/SettingsImage.h"
#include "tools/sensor-cli/ToolObserver.h"
#include "tools/sensor-cli/Usage.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <memory>
#include <set>

namespace {

/// A wrong command line or value: the reason goes to standard error.
struct TUsageError {
    QString Reason;
};

/// A settings file that cannot be read: the window's text goes to standard error.
struct TFileError {
    QString Path;
    QString Text;
};

void Print(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

void Print(const QByteArray &utf8)
{
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
}

struct TCommandLine {
    QString Command;
    QStringList Ports;
    QString Output;
    TFieldTexts Values;
    bool Verify = false;
    bool Json = false;
    bool CalibrateOn = false;
    QString Trace;
    int Verbosity = 0; ///< -1 quiet, 1 the exchanges on standard error, 2 also discarded bytes
};

void SetValue(TCommandLine &line, TDeviceField field, const QString &text)
{
    const QString problem = CheckSendable(field, text);
    if (!problem.isEmpty())
        throw TUsageError{problem};
    line.Values[field] = text;
}

/// Reads the write's settings file into the values. Only the five parameters are sent.
void LoadValues(TCommandLine &line, const QString &path)
{
    TFieldTexts file;
    const QString failure = LoadSettingsImage(path, file);
    if (!failure.isEmpty())
        throw TFileError{path, failure};
    for (TDeviceField field : WritableFields) {
        const QString problem = CheckSendable(field, file[field]);
        if (!problem.isEmpty())
            throw TUsageError{path + QStringLiteral(": ") + problem};
        line.Values[field] = file[field];
    }
}

/// What {port} and the check for a port given twice take of a port name: a device's own name,
/// or a network name as a file name ("rfc2217-10.0.0.5-4001").
QString PortKey(const QString &port)
{
    if (!IsNetPortName(port))
        return QFileInfo(port).fileName();
    QString key = port;
    key.replace(QLatin1String("://"), QLatin1String("-")).replace(QLatin1Char(':'), QLatin1Char('-'));
    return key.remove(QLatin1Char('[')).remove(QLatin1Char(']')).replace(QLatin1Char('/'), QLatin1Char('-'));
}

QString OutputFor(const TCommandLine &line, const QString &port)
{
    QString path = line.Output;
    return path.replace(QStringLiteral("{port}"), PortKey(port));
}

TCommandLine Parse(const QCoreApplication &app)
{
    QCommandLineParser parser;
    const TToolOptions options;
    const QCommandLineOption &output = options.Output, &set = options.Set, &verify = options.Verify,
                             &time = options.Time, &inert = options.Inert, &json = options.Json,
                             &trace = options.Trace;
    parser.addOptions(options.All());
    if (!parser.parse(app.arguments()))
        throw TUsageError{parser.errorText()};

    TCommandLine line;
    if (parser.isSet(options.Help) || parser.isSet(options.Version)) {
        line.Command = parser.isSet(options.Help) ? QStringLiteral("help") : QStringLiteral("version");
        return line;
    }
    const qsizetype verbose = parser.optionNames().count(QStringLiteral("v"))
        + parser.optionNames().count(QStringLiteral("verbose"));
    if (verbose > 0 && parser.isSet(options.Quiet))
        throw TUsageError{QStringLiteral("-q and -v exclude each other")};
    line.Verbosity = parser.isSet(options.Quiet) ? -1 : int(std::min<qsizetype>(verbose, 2));
    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        throw TUsageError{QStringLiteral("no command given")};
    line.Command = args.takeFirst();
    line.Json = parser.isSet(json);
    line.Trace = parser.value(trace);
    const QString &command = line.Command;

    // Every option belongs to the commands it is listed for.
    const auto only = [&](const QCommandLineOption &option, std::initializer_list<const char *> commands) {
        if (!parser.isSet(option))
            return;
        for (const char *c : commands)
            if (command == QLatin1String(c))
                return;
        throw TUsageError{QStringLiteral("--%1 does not belong to '%2'").arg(option.names().constLast(), command)};
    };
    only(output, {"read"});
    only(set, {"write"});
    only(verify, {"write"});
    only(time, {"calibrate"});
    only(inert, {"calibrate"});
    only(trace, {"find", "read", "write", "calibrate"});
    only(options.Verbose, {"find", "read", "write", "calibrate"});

    if (command == QLatin1String("ports")) {
        if (!args.isEmpty())
            throw TUsageError{QStringLiteral("ports takes no arguments")};
        return line;
    }
    if (command == QLatin1String("calibrate")) {
        const QString state = args.isEmpty() ? QString() : args.takeFirst();
        if (state != QLatin1String("on") && state != QLatin1String("off"))
            throw TUsageError{QStringLiteral("calibrate needs 'on' or 'off' before the ports")};
        line.CalibrateOn = state == QLatin1String("on");
        if (parser.isSet(inert))
            SetValue(line, dfInertCalib, parser.value(inert));
        if (parser.isSet(time))
            SetValue(line, dfCalTime, parser.value(time));
    } else if (command == QLatin1String("write")) {
        QStringList files;
        for (const QString &arg : std::as_const(args))
            if (arg.endsWith(QLatin1String(".tqx"), Qt::CaseInsensitive))
                files << arg;
        if (files.size() > 1)
            throw TUsageError{QStringLiteral("write takes one settings file")};
        if (files.isEmpty() && !parser.isSet(set))
            throw TUsageError{QStringLiteral("write needs a settings file (FILE.tqx) or --set FIELD=VALUE")};
        for (const QString &file : std::as_const(files)) {
            args.removeOne(file);
            LoadValues(line, file);
        }
        for (const QString &assignment : parser.values(set)) {
            const qsizetype eq = assignment.indexOf(QLatin1Char('='));
            const auto field = FieldByName(assignment.left(eq));
            if (eq < 0 || !field)
                throw TUsageError{QStringLiteral("--set needs FIELD=VALUE with a field from --help, not '%1'").arg(assignment)};
            if (*field == dfCalOn || *field == dfCalOff)
                throw TUsageError{QStringLiteral("%1 is a calibration result and is never written").arg(FieldName(*field))};
            SetValue(line, *field, assignment.mid(eq + 1));
        }
        line.Verify = parser.isSet(verify);
    } else if (command == QLatin1String("read")) {
        line.Output = parser.value(output);
    } else if (command != QLatin1String("find")) {
        throw TUsageError{QStringLiteral("unknown command '%1'").arg(command)};
    }

    line.Ports = args;
    if (line.Ports.isEmpty() && command != QLatin1String("find"))
        throw TUsageError{QStringLiteral("%1 needs at least one port").arg(command)};
    std::set<QString> seen;
    for (const QString &port : std::as_const(line.Ports)) {
        QString problem;
        TNetPortName name;
        if (IsNetPortName(port) && !ParseNetPortName(port, name, &problem))
            throw TUsageError{problem};
        if (!seen.insert(PortKey(port)).second)
            throw TUsageError{QStringLiteral("port %1 is given twice").arg(port)};
    }
    if (line.Ports.size() > 1 && !line.Output.isEmpty() && !line.Output.contains(QLatin1String("{port}")))
        throw TUsageError{QStringLiteral("with several ports the output file name needs {port}")};
    return line;
}

int ListPorts(const TCommandLine &line)
{
    const QList<TListedPort> ports = ListSerialPorts();
    if (line.Json) {
        Print(PortsJson(ports));
        return ExitOk;
    }
    Print(PortsText(ports));
    if (ports.isEmpty() && line.Verbosity >= 0)
        std::fputs("tq-sensor: no serial ports found\n", stderr);
    return ExitOk;
}

/// The exit status of a multi-port run: that of the first failed port.
int RunStatus(const TCommandLine &line, const QList<TPortOutcome> &outcomes)
{
    if (line.Command == QLatin1String("find")) {
        for (const TPortOutcome &out : outcomes)
            if (out.Code == ExitOk)
                return ExitOk;
        return outcomes.isEmpty() ? ExitNoPort : ExitNoSensor;
    }
    for (const TPortOutcome &out : outcomes)
        if (out.Code != ExitOk)
            return out.Code;
    return ExitOk;
}

/// A FIFO or device named as a file would block the first write or take the values: refused
/// before any port is touched.
void CheckFilePaths(const TCommandLine &line)
{
    if (line.Output.isEmpty())
        return;
    for (const QString &port : line.Ports) {
        const QString path = OutputFor(line, port);
        const QFileInfo info(path);
        if (info.exists() && !info.isFile())
            throw TFileError{path, QStringLiteral("not a regular file")};
    }
}

int RunOnSensors(TCommandLine &line)
{
    if (line.Command == QLatin1String("find") && line.Ports.isEmpty()) {
        for (const TListedPort &port : ListSerialPorts())
            line.Ports << port.Path;
        if (line.Ports.isEmpty()) {
            std::fputs("tq-sensor: no serial ports to probe\n", stderr);
            return ExitNoPort;
        }
    }
    CheckFilePaths(line);
    std::unique_ptr<TExchangeTrace> trace;
    if (!line.Trace.isEmpty()) {
        try {
            trace = std::make_unique<TExchangeTrace>(line.Trace);
        } catch (const Exception &e) {
            std::fprintf(stderr, "tq-sensor: cannot write the trace: %s\n", e.what());
            return ExitFile;
        }
    }
    TConsole console(line.Verbosity >= 0 && ProgressRowsDrawn(), line.Ports);
    std::unique_ptr<TExchangeTrace> shown;
    if (line.Verbosity > 0) {
        shown = std::make_unique<TExchangeTrace>([&console](const QString &text) { console.Line(text); });
        shown->SetWithDiscarded(line.Verbosity > 1);
    }
    TToolObserver observer(console, {trace.get(), shown.get()});
    SetExchangeObserver(&observer);

    const TCommandLine &l = line;
    const QList<TPortOutcome> outcomes = RunOnPorts(line.Ports, console, [&l](TSensorHost &host) {
        if (l.Command == QLatin1String("find"))
            return FindOnPort(host);
        if (l.Command == QLatin1String("read"))
            return ReadPort(host, l.Output.isEmpty() ? QString() : OutputFor(l, host.Port()));
        if (l.Command == QLatin1String("write"))
            return WritePort(host, l.Values, l.Verify);
        return CalibratePort(host, l.Values, l.CalibrateOn);
    });
    SetExchangeObserver(nullptr);
    if (line.Json)
        Print(ReportJson(line.Command, outcomes));
    else
        Print(ReportText(line.Command, outcomes, line.Verbosity < 0));
    const int status = RunStatus(line, outcomes);
    const QString traceFailure = trace ? trace->Failure() : QString();
    if (traceFailure.isEmpty())
        return status;
    std::fprintf(stderr, "tq-sensor: the trace is incomplete: %s\n", traceFailure.toLocal8Bit().constData());
    return status == ExitOk ? ExitTrace : status;
}

int Run(int argc, char *argv[])
{
    // Past a file-size limit a write then fails with EFBIG and is reported, instead of the
    // signal ending the program in the middle of a settings file or a trace.
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    const TConsoleSession console;
    // Qt's own event dispatcher rather than GLib's: every port's thread makes one at less
    // cost, and a transaction that stops watching its line while a chunk is on its way costs
    // no extra wake-up, as it does with GLib.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tq-sensor"));
    try {
        TCommandLine line = Parse(app);
        if (line.Command == QLatin1String("help")) {
            Print(UsageText(TToolOptions()));
            return ExitOk;
        }
        if (line.Command == QLatin1String("version")) {
            Print(QStringLiteral("tq-sensor " TQ_FILE_VERSION "\n"));
            return ExitOk;
        }
        if (line.Command == QLatin1String("ports"))
            return ListPorts(line);
        return RunOnSensors(line);
    } catch (const TUsageError &e) {
        std::fprintf(stderr, "tq-sensor: %s\nTry 'tq-sensor --help' for more information.\n",
                     e.Reason.toLocal8Bit().constData());
        return ExitUsage;
    } catch (const TFileError &e) {
        std::fprintf(stderr, "%s: %s\n", e.Path.toLocal8Bit().constData(), e.Text.toLocal8Bit().constData());
        return ExitFile;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    return EndProgram(Run(argc, argv));
}
