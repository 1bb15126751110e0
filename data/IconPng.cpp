// tq-icon-png SVG DIR SIZE...: renders the application icon into DIR/NxN/apps/ for each size,
// under the SVG's own file name, so the icon theme has pixel-exact sizes as well. A size may
// also be WxH (DIR/WxH/apps/), for pictures that are not square.

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Text in a picture needs the font database; rendering needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: tq-icon-png SVG DIR SIZE...\n");
        return 2;
    }
    const QString svg = args[1];
    const QString name = QFileInfo(svg).completeBaseName() + QStringLiteral(".png");
    for (const QString &sizeText : args.mid(3)) {
        const QStringList sides = sizeText.split(QLatin1Char('x'));
        const int width = sides.value(0).toInt();
        const int height = sides.size() == 2 ? sides[1].toInt() : sides.size() == 1 ? width : 0;
        QImageReader reader(svg);
        reader.setScaledSize(QSize(width, height));
        const QImage image = reader.read();
        const QString dir = QStringLiteral("%1/%2x%3/apps").arg(args[2]).arg(width).arg(height);
        if (width <= 0 || height <= 0 || image.isNull() || !QDir().mkpath(dir) || !image.save(dir + QLatin1Char('/') + name)) {
            std::fprintf(stderr, "tq-icon-png: cannot render %s at %s pixels: %s\n", qPrintable(svg),
                         qPrintable(sizeText), qPrintable(reader.errorString()));
            return 1;
        }
    }
    return 0;
}
