#include "app/VersionBlock.h"

#include <QLatin1StringView>
#include <QList>

std::optional<QString> QueryVersionValue(const QByteArray &block, const QString &path)
{
    static constexpr QLatin1StringView header("TQVI1\n");
    if (!block.startsWith(QByteArrayView(header.data(), header.size())))
        return std::nullopt;
    const QString text = QString::fromUtf8(block.constData() + header.size(), block.size() - header.size());
    for (QStringView line : QStringView(text).split(u'\n')) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (line.first(eq).compare(path, Qt::CaseInsensitive) == 0)
            return line.sliced(eq + 1).toString();
    }
    return std::nullopt;
}
