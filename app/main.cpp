#include "app/Application.h"
#include "app/MainWindow.h"
#include "protocol/ExchangeTrace.h"
#include "serial/Exception.h"

#include <QCommandLineParser>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    InstallExceptionDisplay();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Level sensor configurator."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("port"),
                                 QStringLiteral("Offer this serial device (e.g. a pseudo-terminal) in the port list; "
                                                "the first one is selected."),
                                 QStringLiteral("[PORT...]"));
    const QCommandLineOption traceOption(QStringLiteral("trace"),
                                         QStringLiteral("Write every request and reply, with time stamps, to FILE."),
                                         QStringLiteral("FILE"));
    parser.addOption(traceOption);
    parser.process(app);

    // Off unless asked for: the window writes no log of its own.
    std::unique_ptr<TExchangeTrace> trace;
    if (parser.isSet(traceOption)) {
        try {
            trace = std::make_unique<TExchangeTrace>(parser.value(traceOption));
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
