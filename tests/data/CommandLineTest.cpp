#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

struct ProgramRun {
    int ExitCode = -1;
    QString Out;
};

// The configurator as a terminal user starts it: no display of any kind.
ProgramRun Headless(const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TQ_CONFIGURATOR), arguments);
    if (!program.waitForFinished(30000))
        return {};
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromLocal8Bit(program.readAllStandardOutput())};
}

} // namespace

TEST(CommandLine, VersionAndHelpNeedNoDisplay)
{
    const ProgramRun version = Headless({QStringLiteral("--version")});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Out, QStringLiteral("tq-configurator " TQ_VERSION "\n"));

    for (const QString &option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const ProgramRun help = Headless({option});
        EXPECT_EQ(help.ExitCode, 0) << option.toStdString();
        EXPECT_TRUE(help.Out.contains(QStringLiteral("[PORT...]"))) << help.Out.toStdString();
        EXPECT_TRUE(help.Out.contains(QStringLiteral("--version"))) << help.Out.toStdString();
    }
}

TEST(CommandLine, HelpWinsOverToolkitOptionsAndPorts)
{
    const ProgramRun help = Headless({QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("/dev/ttyUSB0"),
                               QStringLiteral("--help")});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_TRUE(help.Out.contains(QStringLiteral("[PORT...]")));
}
