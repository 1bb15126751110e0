// tq-window-shot OUT.png: draws the real main window off screen and saves it, for the README
// and the metainfo. The port store is a scratch one, so the user's own is neither read nor written.

#include "app/Application.h"
#include "app/DesktopIdentity.h"
#include "app/MainWindow.h"

#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tq-window-shot OUT.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", (config.path() + QStringLiteral("/etc")).toLocal8Bit());

    TApplication app(argc, argv);
    InstallExceptionDisplay();
    SetDesktopIdentity();
    TfrmMain window(nullptr, {QStringLiteral("ttyUSB0")});
    window.show();
    QApplication::processEvents();
    const QImage shot = window.grab().toImage();
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (shot.isNull() || !shot.save(out, "PNG")) {
        std::fprintf(stderr, "tq-window-shot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
