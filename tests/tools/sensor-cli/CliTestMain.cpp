// The window's workflows need a widget application; the tool's runs need none but share it.
#include "app/Application.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window stores the port choice: keep the user's own store out of reach.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", (config.path() + QStringLiteral("/etc")).toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    InstallExceptionDisplay();
    return RUN_ALL_TESTS();
}
