#include "app/DesktopIdentity.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <gtest/gtest.h>

// The desktop matches a window to its menu entry and icon by the names set here, so they
// must be the names the entry is installed under.
TEST(DesktopIdentity, WindowClaimsTheInstalledEntryAndCarriesTheIcon)
{
    int argc = 1;
    char name[] = "tq-configurator";
    char *argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    SetDesktopIdentity();

    const QFileInfo entry(QStringLiteral(TQ_DESKTOP_FILE));
    EXPECT_EQ(QGuiApplication::desktopFileName() + QStringLiteral(".desktop"), entry.fileName());
    QFile file(entry.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(("\nIcon=" + DesktopAppId() + "\n").toUtf8()));

    const QIcon icon = QGuiApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_FALSE(icon.pixmap(48, 48).isNull());
}
