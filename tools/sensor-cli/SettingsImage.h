#pragma once
// Settings files (.tqx) without widgets: "TQ_CONF\0" and seven little-endian 32-bit values in
// the order cal_on, cal_off, averaging_time, calib_inertia, work_inertia, input_filter
// (signed integers) and hysteresis (single precision), as the window saves and loads them.
// Failures carry the window's own texts.

#include "tools/sensor-cli/SensorFields.h"

/// Loads all seven values as the window shows them. Returns the failure's text, else empty;
/// a file that fails leaves `texts` as it was.
QString LoadSettingsImage(const QString &path, TFieldTexts &texts);

/// Saves the seven texts; the old file is replaced in one step, or kept on failure. Returns the
/// failure's text, else empty. Texts must convert (CheckSendable).
QString SaveSettingsImage(const QString &path, const TFieldTexts &texts);
