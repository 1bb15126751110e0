// tq-icon-png SVG DIR SIZE...: renders the application icon into DIR/NxN/apps/ for each size,
// under the SVG's own file name, so the icon theme has pixel-exact sizes as well.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: tq-icon-png SVG DIR SIZE...\n");
        return 2;
    }
    const QString svg = args[1];
    const QString name = QFileInfo(svg).completeBaseName() + QStringLiteral(".png");
    for (const QString &sizeText : args.mid(3)) {
        const int size = sizeText.toInt();
        QImageReader reader(svg);
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(args[2]).arg(size);
        if (size <= 0 || image.isNull() || !QDir().mkpath(dir) || !image.save(dir + QLatin1Char('/') + name)) {
            std::fprintf(stderr, "tq-icon-png: cannot render %s at %s pixels: %s\n", qPrintable(svg),
                         qPrintable(sizeText), qPrintable(reader.errorString()));
            return 1;
        }
    }
    return 0;
}
