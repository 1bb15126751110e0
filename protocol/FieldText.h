#pragma once
// Conversions between the parameter fields' texts and their values. Texts use the decimal
// separator of the user's locale (QLocale()); parsing and printing never depend on the C locale.

#include "serial/Exception.h"

#include <QString>
#include <QtGlobal>

/// A field text that is not a number of the expected kind.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

/// Whole decimal number with optional sign that fits 32 bits; leading blanks are skipped and
/// nothing may follow. Throws EConvertError "'<text>' is not a valid integer value".
qint32 StrToInt(const QString &text);

/// Decimal number with the locale's separator and optional exponent, at extended precision;
/// blanks around it are skipped; "INF", "-INF", "NAN" and "NAN(0x7FC00001)" (FormatReal's form
/// of a NaN with another bit pattern) are accepted so that every stored value round-trips. Throws EConvertError "'<text>' is not a valid floating point value".
long double StrToFloat(const QString &text);

/// Narrows an extended value to single precision the way the hardware does: values beyond
/// the single range become infinite instead of undefined.
float NarrowToSingle(long double value);

/// The text as the single-precision value that a settings file and the value on entry keep:
/// NarrowToSingle of StrToFloat, except that a NaN comes back with the very bit pattern that
/// FormatReal wrote into its text, so that every stored pattern survives text and back.
float StrToStoredSingle(const QString &text);

/// The text as the single-precision value that goes to the sensor. Throws the same
/// EConvertError as StrToFloat for text that does not convert and also for NaN, infinities and
/// values beyond the single range, which no sensor setting can be.
float StrToSingle(const QString &text);

/// "%hu" of a 16-bit value.
QString FormatU16(quint16 value);

/// "%i" of a signed 32-bit value.
QString FormatInt(qint32 value);

/// A single-precision value widened to double, general format: at most 15 significant digits,
/// no trailing zeros, fixed notation from 0.00001 up to 15 integer digits, else "1,5E-7" style.
/// A NaN is "NAN", or "NAN(0xFFC00000)" with its bit pattern when it is not the plain quiet one.
QString FormatReal(float value);

/// The shortest text with "." as separator, whatever the locale, that reads back as the same
/// single-precision value ("7.5", "0.1", "1e-07"): for scripts and traces, not for the fields.
/// Only for finite values.
QString FormatShortest(float value);
