#include "tools/sensor-cli/SensorFields.h"

#include "protocol/FieldText.h"

namespace {
const std::array<const char *, 7> Names = {"work_inertia",  "input_filter",  "hysteresis", "calib_inertia",
                                           "averaging_time", "cal_on", "cal_off"};

bool IsReal(TDeviceField field) { return field == dfHystWidth; }
} // namespace

QString FieldName(TDeviceField field)
{
    return QLatin1String(Names[size_t(field)]);
}

std::optional<TDeviceField> FieldByName(const QString &name)
{
    for (TDeviceField field : AllFields)
        if (name == FieldName(field))
            return field;
    return std::nullopt;
}

QString CheckSendable(TDeviceField field, const QString &text)
{
    try {
        if (IsReal(field)) {
            StrToSingle(text); // the command's own check: finite and within single precision
            return {};
        }
        const qint32 value = StrToInt(text);
        // The sensor takes 16 bits: 70000 would silently become 4464.
        if (value < 0 || value > 65535)
            return QStringLiteral("%1 must lie between 0 and 65535, not %2").arg(FieldName(field), text);
        return {};
    } catch (const EConvertError &e) {
        return FieldName(field) + QStringLiteral(": ") + e.Message();
    }
}

bool SameValue(TDeviceField field, const QString &a, const QString &b)
{
    try {
        if (IsReal(field))
            return float(StrToFloat(a)) == float(StrToFloat(b));
        return quint16(StrToInt(a)) == quint16(StrToInt(b));
    } catch (const EConvertError &) {
        return a == b;
    }
}
