#include "protocol/FieldText.h"

#include <QLocale>
#include <QRegularExpression>

#include <bit>
#include <optional>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

QString decimalSeparator()
{
    return QLocale().decimalPoint();
}

[[noreturn]] void invalidInteger(const QString &text)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

[[noreturn]] void invalidFloat(const QString &text)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

constexpr quint32 plainNan = 0x7FC00000; ///< the quiet NaN that reads "NAN"

/// The single-precision pattern of a NaN text in upper case, "NAN" or "NAN(0x7FC00001)" as
/// FormatReal writes it; nothing for other text.
std::optional<quint32> NanBits(const QString &upper)
{
    if (upper == u"NAN")
        return plainNan;
    static const QRegularExpression pattern(QStringLiteral("^NAN\\(0X([0-9A-F]{8})\\)$"));
    const QRegularExpressionMatch match = pattern.match(upper);
    if (!match.hasMatch())
        return std::nullopt;
    const quint32 bits = match.captured(1).toUInt(nullptr, 16);
    if (!std::isnan(std::bit_cast<float>(bits)))
        return std::nullopt;
    return bits;
}

} // namespace

qint32 StrToInt(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    if (i == n)
        invalidInteger(text);
    qint64 value = 0;
    for (; i < n; ++i) {
        if (!isDigit(text[i]))
            invalidInteger(text);
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            invalidInteger(text);
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min())
        invalidInteger(text);
    return qint32(value);
}

long double StrToFloat(const QString &text)
{
    const QString trimmed = text.trimmed();
    const QString upper = trimmed.toUpper();
    if (upper == u"INF" || upper == u"+INF")
        return std::numeric_limits<long double>::infinity();
    if (upper == u"-INF")
        return -std::numeric_limits<long double>::infinity();
    if (NanBits(upper))
        return std::numeric_limits<long double>::quiet_NaN();

    // Rebuild the number in the C form that from_chars reads, accepting only the locale's
    // separator: a point typed in a comma locale is an error, not a silently different value.
    const QString sep = decimalSeparator();
    std::string c;
    qsizetype i = 0;
    const qsizetype n = trimmed.size();
    if (i < n && (trimmed[i] == u'+' || trimmed[i] == u'-')) {
        if (trimmed[i] == u'-')
            c += '-';
        ++i;
    }
    int mantissaDigits = 0;
    while (i < n && isDigit(trimmed[i])) {
        c += char(trimmed[i++].unicode());
        ++mantissaDigits;
    }
    if (i < n && !sep.isEmpty() && trimmed.mid(i, sep.size()) == sep) {
        c += '.';
        i += sep.size();
        while (i < n && isDigit(trimmed[i])) {
            c += char(trimmed[i++].unicode());
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        invalidFloat(text);
    if (i < n && (trimmed[i] == u'e' || trimmed[i] == u'E')) {
        c += 'e';
        ++i;
        if (i < n && (trimmed[i] == u'+' || trimmed[i] == u'-'))
            c += char(trimmed[i++].unicode());
        int exponentDigits = 0;
        while (i < n && isDigit(trimmed[i])) {
            c += char(trimmed[i++].unicode());
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            invalidFloat(text);
    }
    if (i != n)
        invalidFloat(text);

    long double value = 0;
    const auto [end, ec] = std::from_chars(c.data(), c.data() + c.size(), value);
    if (end != c.data() + c.size())
        invalidFloat(text);
    if (ec == std::errc::result_out_of_range) {
        // Beyond extended range: an overflow saturates, an underflow is zero (keeping the sign).
        const bool neg = c[0] == '-';
        const bool tooSmall = c.find("e-") != std::string::npos;
        if (!tooSmall)
            invalidFloat(text);
        return neg ? -0.0L : 0.0L;
    }
    return value;
}

float NarrowToSingle(long double value)
{
    // Half a unit in the last place above the largest single value rounds to infinity.
    const long double overflow = static_cast<long double>(std::numeric_limits<float>::max()) + std::ldexp(1.0L, 103);
    if (value >= overflow)
        return std::numeric_limits<float>::infinity();
    if (value <= -overflow)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

float StrToStoredSingle(const QString &text)
{
    if (const std::optional<quint32> bits = NanBits(text.trimmed().toUpper()))
        return std::bit_cast<float>(*bits); // bit for bit: a conversion would change the payload
    return NarrowToSingle(StrToFloat(text));
}

float StrToSingle(const QString &text)
{
    const float value = NarrowToSingle(StrToFloat(text));
    if (!std::isfinite(value))
        invalidFloat(text);
    return value;
}

QString FormatU16(quint16 value)
{
    return QString::number(value);
}

QString FormatInt(qint32 value)
{
    return QString::number(value);
}

QString FormatReal(float value)
{
    const double v = value;
    if (std::isnan(v)) {
        const quint32 bits = std::bit_cast<quint32>(value);
        return bits == plainNan ? QStringLiteral("NAN")
                                : QStringLiteral("NAN(0x%1)").arg(QString::number(bits, 16).toUpper().rightJustified(8, u'0'));
    }
    if (std::isinf(v))
        return v < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");

    // 15 significant digits in C form, "d.dddddddddddddde±xx".
    const bool negative = std::signbit(v);
    const QString body = QString::number(std::fabs(v), 'e', 14);
    const qsizetype ePos = body.indexOf(u'e');
    QString digits = body.left(ePos).remove(u'.');
    int exponent = body.mid(ePos + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);

    const QString sep = decimalSeparator();
    QString out;
    if (digits == u"0") {
        out = QStringLiteral("0");
    } else if (exponent < -5 || exponent >= 15) {
        out = digits.left(1);
        if (digits.size() > 1)
            out += sep + digits.mid(1);
        out += u'E' + QString::number(exponent);
    } else if (exponent >= 0) {
        const qsizetype intDigits = exponent + 1;
        if (digits.size() <= intDigits)
            out = digits + QString(intDigits - digits.size(), u'0');
        else
            out = digits.left(intDigits) + sep + digits.mid(intDigits);
    } else {
        out = u'0' + sep + QString(-exponent - 1, u'0') + digits;
    }
    return negative ? u'-' + out : out;
}

QString FormatShortest(float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return QString::fromLatin1(text, end - text);
}
