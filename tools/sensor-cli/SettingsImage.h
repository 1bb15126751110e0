#pragma once
// Settings files (.tqx) for the tool's field texts, through the window's own file layout.

#include "tools/sensor-cli/SensorFields.h"

/// Loads all seven values as the window shows them. Returns the failure's text, else empty;
/// a file that fails leaves `texts` as it was.
QString LoadSettingsImage(const QString &path, TFieldTexts &texts);

/// Saves the seven texts; the old file is replaced in one step, or kept on failure. Returns the
/// failure's text, else empty. Texts must convert (CheckSendable).
QString SaveSettingsImage(const QString &path, const TFieldTexts &texts);
