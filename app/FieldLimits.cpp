#include "app/FieldLimits.h"

#include "protocol/FieldText.h"


std::array<FieldLimit, 5> FieldLimits{};

namespace {

FieldLimit IntegerRow(qint32 min, qint32 max)
{
    FieldLimit row;
    row.Max.Int = max;
    row.Min.Int = min;
    row.OnEntry.Int = 0;
    row.Kind = lkInteger;
    return row;
}

FieldLimit RealRow(float min, float max)
{
    FieldLimit row;
    row.Max.Real = max;
    row.Min.Real = min;
    row.OnEntry.Real = 0.0f;
    row.Kind = lkReal;
    return row;
}

} // namespace

void FillFieldLimits()
{
    // The integer fields go to the sensor as 16-bit values; below 5 ms the sensor misbehaves.
    FieldLimits[0] = IntegerRow(5, 65535); // txtInertWork
    FieldLimits[1] = IntegerRow(5, 65535); // txtInpFlt
    FieldLimits[2] = IntegerRow(5, 65535); // txtInertCalib
    FieldLimits[3] = IntegerRow(5, 65535); // txtCalTime
    FieldLimits[4] = RealRow(1.0f, 50.0f); // txtHystWidth
}

FieldLimit &FieldLimitOf(int tag)
{
    return FieldLimits.at(size_t(tag));
}

bool IsOutOfRange(const FieldLimit &limit, const QString &text)
{
    if (limit.Kind == lkInteger) {
        const qint32 v = StrToInt(text);
        return v > limit.Max.Int || v < limit.Min.Int;
    }
    // Compared at full precision: a value just above the bound must not round onto it. Asked
    // as "inside", so that NaN, for which every comparison is false, is outside.
    const long double v = StrToFloat(text);
    return !(v >= static_cast<long double>(limit.Min.Real) && v <= static_cast<long double>(limit.Max.Real));
}

QString RangeMessage(const FieldLimit &limit)
{
    if (limit.Kind == lkInteger)
        return QString::asprintf("Введено значение вне допустимого диапазона. Значение в данном поле "
                                 "должно лежать в пределах от %d до %d.",
                                 limit.Min.Int, limit.Max.Int);
    return QString::asprintf("Введено значение вне допустимого диапазона. Значение в данном поле "
                             "должно лежать в пределах от %f до %f.",
                             double(limit.Min.Real), double(limit.Max.Real));
}

void StoreOnEntry(FieldLimit &limit, const QString &text)
{
    if (limit.Kind == lkInteger)
        limit.OnEntry.Int = StrToInt(text);
    else
        limit.OnEntry.Real = StrToStoredSingle(text);
}

QString OnEntryText(const FieldLimit &limit)
{
    return limit.Kind == lkInteger ? FormatInt(limit.OnEntry.Int) : FormatReal(limit.OnEntry.Real);
}
