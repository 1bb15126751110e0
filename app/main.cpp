#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/DesktopIdentity.h"
#include "app/MainWindow.h"

#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    AnswerInfoOptions(argc, argv, parser);

    TApplication app(argc, argv);
    InstallExceptionDisplay();
    SetDesktopIdentity();
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
