#pragma once
// Settings files: the seven parameter fields in a 36-byte file, "TQ_CONF\0" then seven
// little-endian 32-bit values: txtCalOn, txtCalOff, txtCalTime, txtInertCalib, txtInertWork,
// txtInpFlt (signed integers) and txtHystWidth (single precision).

#include "protocol/SettingsImage.h"

#include <QByteArray>
#include <QString>
#include <array>

class QLineEdit;

/// The seven fields in the order the file holds them.
using TSettingsFields = std::array<QLineEdit *, 7>;

/// The file image of the fields' current texts. Throws EConvertError for a text that is
/// not a number of its field's kind.
QByteArray SettingsFileBytes(const TSettingsFields &fields);

/// Saves the fields to path. All fields are converted before the file is touched, and the
/// new content replaces the old one in a single step, so a conversion error or a failed
/// write leaves an existing file as it was. A path that names something other than a regular
/// file (FIFO, device, socket, folder) is refused as unopenable and left untouched. Failures
/// are shown in a box.
void SaveSettingsFile(const QString &path, const TSettingsFields &fields);

/// Loads path into the fields, one field as each value is read: a file that ends early
/// fills the fields before the break. A path that is not a regular file is refused at once as
/// unopenable, without waiting on it. Failures are shown in a box.
void LoadSettingsFile(const QString &path, const TSettingsFields &fields);
