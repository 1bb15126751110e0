#pragma once
// The About box: product name, the program's version, credit and contact lines.

#include <QString>

/// The four lines with fileVersion on the second.
QString AboutText(const QString &fileVersion);

/// The four lines without the version, for when it cannot be read.
QString AboutFallbackText();

/// Reads the version of programFile (the running program when empty) and shows the About
/// box; any failure to read the version shows the fallback text instead.
void ShowAboutBox(const QString &programFile = QString());
