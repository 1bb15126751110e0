#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/DesktopIdentity.h"
#include "app/MainWindow.h"
#include "protocol/ExchangeTrace.h"
#include "serial/ComPortName.h"
#include "serial/Exception.h"
#include "serial/ProgramEnd.h"

#include <QCommandLineParser>

#include <cstdio>
#include <memory>

namespace {

int Run(int argc, char *argv[])
{
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    AnswerInfoOptions(argc, argv, parser);

    TApplication app(argc, argv);
    InstallExceptionDisplay();
    SetDesktopIdentity();
    parser.process(app);
    for (const QString &port : parser.positionalArguments()) {
        QString problem;
        TNetPortName name;
        if (IsNetPortName(port) && !ParseNetPortName(port, name, &problem)) {
            std::fprintf(stderr, "tq-configurator: %s\n", problem.toLocal8Bit().constData());
            return 2;
        }
    }

    // Off unless asked for: the window writes no log of its own.
    std::unique_ptr<TExchangeTrace> trace;
    if (parser.isSet(TraceOption())) {
        try {
            trace = std::make_unique<TExchangeTrace>(parser.value(TraceOption()));
        } catch (const Exception &e) {
            std::fprintf(stderr, "tq-configurator: cannot write the trace: %s\n", e.what());
            return 1;
        }
        SetExchangeObserver(trace.get());
    }
    struct ObserverReset {
        ~ObserverReset() { SetExchangeObserver(nullptr); }
    } observerReset;

    try {
        TfrmMain window(nullptr, parser.positionalArguments());
        window.show();
        return app.exec();
    } catch (...) {
        // The window could not be built or the loop failed: tell the user, then end.
        ShowCurrentException();
        return 1;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    return EndProgram(Run(argc, argv));
}
