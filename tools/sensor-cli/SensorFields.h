#pragma once
// The seven parameter fields by the English names the command line and --json use, and their
// values in the window's text forms.

#include "protocol/DeviceHost.h"

#include <QString>
#include <array>
#include <optional>

/// Field texts indexed by TDeviceField; an empty text is a value not known.
using TFieldTexts = std::array<QString, 7>;

/// Every field, in the order the tool prints them.
inline constexpr std::array<TDeviceField, 7> AllFields = {dfInertWork, dfInpFlt, dfHystWidth, dfInertCalib,
                                                          dfCalTime,   dfCalOn,  dfCalOff};
/// The five that a write sends.
inline constexpr std::array<TDeviceField, 5> WritableFields = {dfInertWork, dfInertCalib, dfCalTime, dfInpFlt,
                                                               dfHystWidth};

/// "work_inertia", "input_filter", "hysteresis", "calib_inertia", "averaging_time", "cal_on",
/// "cal_off".
QString FieldName(TDeviceField field);
std::optional<TDeviceField> FieldByName(const QString &name);

/// Checks that `text` is a value the sensor can be sent unchanged: a whole number from 0 to
/// 65535, or for the hysteresis a finite number in the user's locale. Returns the reason when
/// it is not, else an empty string.
QString CheckSendable(TDeviceField field, const QString &text);

/// True when both texts denote the value the sensor would hold (the integer, or the
/// single-precision number). Texts that do not convert are equal only when identical.
bool SameValue(TDeviceField field, const QString &a, const QString &b);
