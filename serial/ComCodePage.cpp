#include "serial/ComCodePage_p.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
QByteArray CodecName(quint32 CodePage)
{
    if (CodePage == 0 || CodePage == 65001)
        return "UTF-8";
    if (CodePage == 1200)
        return "UTF-16LE";
    if (CodePage == 1201)
        return "UTF-16BE";
    if (CodePage == 20866)
        return "KOI8-R";
    if (CodePage == 28591)
        return "ISO-8859-1";
    if (CodePage >= 1250 && CodePage <= 1258)
        return "windows-" + QByteArray::number(CodePage);
    return "cp" + QByteArray::number(CodePage);
}
} // namespace

bool IsKnownCodePage(quint32 CodePage)
{
    return QStringEncoder(CodecName(CodePage).constData()).isValid();
}

bool EncodeInCodePage(quint32 CodePage, const QString &Text, QByteArray &Bytes)
{
    QStringEncoder encoder(CodecName(CodePage).constData());
    if (!encoder.isValid())
        return false;
    Bytes = encoder.encode(Text);
    return true;
}

bool DecodeFromCodePage(quint32 CodePage, const QByteArray &Bytes, QString &Text)
{
    QStringDecoder decoder(CodecName(CodePage).constData());
    if (!decoder.isValid())
        return false;
    Text = decoder.decode(Bytes);
    return true;
}
