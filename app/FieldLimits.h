#pragma once
// The limits of the five editable parameter fields, indexed by the edit box's Tag.

#include <QString>
#include <QtGlobal>
#include <array>

enum TLimitKind : qint32 { lkReal = 0, lkInteger = 1 };

/// One bound or value: Int when the row's Kind is lkInteger, Real when it is lkReal.
union TLimitValue {
    qint32 Int;
    float Real;
};

struct FieldLimit {
    TLimitValue Max;
    TLimitValue Min;
    TLimitValue OnEntry; ///< the value when the field last gained the focus
    TLimitKind Kind;
};

extern std::array<FieldLimit, 5> FieldLimits;

/// Fills the table with the fixed bounds; every OnEntry starts at zero.
void FillFieldLimits();

/// The row for a Tag; throws std::out_of_range for a Tag outside the table.
FieldLimit &FieldLimitOf(int tag);

/// True when text, converted for the row's kind, lies outside [Min, Max]; NaN lies outside
/// any range. Conversion errors propagate as EConvertError.
bool IsOutOfRange(const FieldLimit &limit, const QString &text);

/// The range message for a row: "%d" bounds for integers, "%f" bounds for the real field.
QString RangeMessage(const FieldLimit &limit);

/// Converts text for the row's kind and stores it as the value on entry. On a conversion
/// error OnEntry keeps its earlier value.
void StoreOnEntry(FieldLimit &limit, const QString &text);

/// The text of OnEntry, as the field shows it after a rejected value.
QString OnEntryText(const FieldLimit &limit);
