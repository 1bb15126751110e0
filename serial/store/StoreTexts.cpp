#include "serial/store/StoreTexts_p.h"

#include <array>

namespace {
const std::array<QLatin1StringView, 4> RTSTexts{QLatin1StringView("Disable"), QLatin1StringView("Enable"),
                                                QLatin1StringView("Handshake"), QLatin1StringView("Toggle")};

/// Index of the first table text equal to Text without regard to case, or 0.
template <size_t N>
int FindText(const std::array<QLatin1StringView, N> &Table, const QString &Text, size_t Count)
{
    for (size_t i = 0; i < Count && i < N; ++i)
        if (Text.compare(Table[i], Qt::CaseInsensitive) == 0)
            return int(i);
    return 0;
}

bool isAsciiHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
} // namespace

QString BoolToStoreText(bool Value) { return Value ? QStringLiteral("Yes") : QStringLiteral("No"); }

bool StoreTextToBool(const QString &Text) { return Text.toUpper() == QLatin1StringView("YES"); }

QString CharToStoreText(QChar Value)
{
    const ushort code = Value.unicode();
    if (code >= 0x21 && code <= 0x7F)
        return QString(Value);
    return QLatin1Char('#') + QString::number(code);
}

QChar StoreTextToChar(const QString &Text)
{
    if (Text.isEmpty())
        return QChar(0);
    if (Text.startsWith(QLatin1Char('#')) && Text.size() > 1) {
        bool ok = false;
        const int code = Text.mid(1).toInt(&ok);
        return QChar(ok ? ushort(code & 0xFF) : ushort(0));
    }
    return Text.front();
}

QString RTSToStoreText(TRTSFlowControl Value) { return RTSTexts.at(Value); }
TRTSFlowControl StoreTextToRTS(const QString &Text) { return TRTSFlowControl(FindText(RTSTexts, Text, 4)); }
// DTR has the first three RTS texts.
QString DTRToStoreText(TDTRFlowControl Value) { return RTSTexts.at(Value); }
TDTRFlowControl StoreTextToDTR(const QString &Text) { return TDTRFlowControl(FindText(RTSTexts, Text, 3)); }

bool ParseIniInteger(const QString &Text, int &Value)
{
    bool ok = false;
    if (Text.size() > 2 && Text.startsWith(QLatin1StringView("0x"))) {
        const QStringView digits = QStringView(Text).mid(2);
        // toUInt would also take a sign, blanks or a second "0x".
        for (QChar c : digits)
            if (!isAsciiHexDigit(c.unicode()))
                return false;
        const uint bits = digits.toUInt(&ok, 16);
        if (ok)
            Value = int(bits);
        return ok;
    }
    const int v = Text.toInt(&ok, 10);
    if (ok)
        Value = v;
    return ok;
}
