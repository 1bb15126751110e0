#pragma once
// Text forms of the stored settings that the display tables do not cover, and the integer
// rules of ini files. Private to the settings store.

#include "serial/ComTypes.h"

#include <QChar>
#include <QString>

/// "Yes" / "No"; reading is true only for "yes" in any letter case.
QString BoolToStoreText(bool Value);
bool StoreTextToBool(const QString &Text);

/// Codes 0x21..0x7F as themselves, every other code as "#" and its decimal number.
/// Reading: empty gives 0; "#<n>" gives the low 8 bits of n (0 when n is not a number);
/// anything else gives its first character.
QString CharToStoreText(QChar Value);
QChar StoreTextToChar(const QString &Text);

/// "Disable", "Enable", "Handshake" (and "Toggle" for RTS); unknown texts read as Disable.
QString RTSToStoreText(TRTSFlowControl Value);
TRTSFlowControl StoreTextToRTS(const QString &Text);
QString DTRToStoreText(TDTRFlowControl Value);
TDTRFlowControl StoreTextToDTR(const QString &Text);

/// A whole 32-bit number in decimal, or hexadecimal after "0x" (the bit pattern, so
/// "0xFFFFFFFF" is -1). False, with Value untouched, for anything else.
bool ParseIniInteger(const QString &Text, int &Value);
