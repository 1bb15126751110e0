#include "app/Application.h"
#include "app/MainWindow.h"

#include <QCommandLineParser>

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
    parser.process(app);

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
