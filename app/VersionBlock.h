#pragma once
// The program's version block: UTF-8 lines "path=value" after the header line "TQVI1".
// Paths follow the usual version-information layout:
//   \FileVersion, \ProductVersion              the fixed part
//   \VarFileInfo\Translation                   "llllcccc" entries (language, code page), blank-separated
//   \StringFileInfo\llllcccc\<Key>             the strings of one translation

#include <QByteArray>
#include <QString>
#include <optional>

/// The value stored under path (compared without regard to letter case), or nothing when the
/// block is malformed or has no such path.
std::optional<QString> QueryVersionValue(const QByteArray &block, const QString &path);
