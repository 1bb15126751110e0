#include "app/CommandLine.h"

#include "app/Version.h"

#include <QCoreApplication>

void DescribeCommandLine(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Level sensor configurator."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("port"),
                                 QStringLiteral("Offer this serial device (e.g. a pseudo-terminal) or network line "
                                                "(rfc2217://HOST:PORT, tcp://HOST:PORT; no authentication or "
                                                "encryption: keep the server on loopback or a management network) in "
                                                "the port list; the first one is selected."),
                                 QStringLiteral("[PORT...]"));
    parser.addOption(TraceOption());
}

QCommandLineOption TraceOption()
{
    return QCommandLineOption(QStringLiteral("trace"),
                              QStringLiteral("Write every request and reply, with time stamps, to FILE."),
                              QStringLiteral("FILE"));
}

void AnswerInfoOptions(int argc, char **argv, QCommandLineParser &parser)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Toolkit options such as -platform are unknown here: they are judged later, by the GUI.
    parser.parse(arguments);
    const bool help = parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
    const bool showVersion = parser.isSet(QStringLiteral("version"));
    if (!help && !showVersion)
        return;

    QCoreApplication app(argc, argv);
    if (showVersion) {
        // The same version block the About box reads, so both always agree.
        try {
            QCoreApplication::setApplicationVersion(version().FileVersion());
        } catch (const std::exception &) {
            QCoreApplication::setApplicationVersion(QStringLiteral("(version unknown)"));
        }
        parser.showVersion();
    }
    parser.showHelp();
}
