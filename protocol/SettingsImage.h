#pragma once
// The settings file (.tqx), the sensor's own format, without widgets: "TQ_CONF\0"
// then seven little-endian 32-bit values, cal_on, cal_off, averaging_time, calib_inertia,
// work_inertia, input_filter (signed integers) and hysteresis (single precision). Failures
// carry the window's own texts.

#include "protocol/DeviceHost.h"

#include <QByteArray>
#include <QString>
#include <array>

inline constexpr int SettingsFileSize = 36;

/// The seven values' texts in the order the file holds them.
using TSettingsTexts = std::array<QString, 7>;

/// The fields in the order the file holds them.
inline constexpr std::array<TDeviceField, 7> SettingsFileOrder = {dfCalOn,     dfCalOff, dfCalTime,  dfInertCalib,
                                                                  dfInertWork, dfInpFlt, dfHystWidth};

/// The file image of the texts. Throws EConvertError for a text that is not a number of its
/// value's kind; every stored single-precision pattern (any NaN included) is kept.
QByteArray SettingsImage(const TSettingsTexts &texts);

/// Reads path into texts, in file order. `count` tells how many values were read before a
/// failure (all seven on success). A path that is not a regular file is refused at once,
/// without waiting on it. Returns the failure's text, else an empty string.
QString ReadSettingsImage(const QString &path, TSettingsTexts &texts, size_t &count);

/// Writes bytes to path in a single step, so a failed write leaves an existing file as it was.
/// A path that names something other than a regular file (FIFO, device, socket, folder) is
/// refused as unopenable and left untouched. Returns the failure's text, else an empty string.
QString WriteSettingsImage(const QString &path, const QByteArray &bytes);
