#pragma once
// The store's promise, checked for one file as found on disk: whatever the store accepts, a
// store and a reload give the same settings and keep every line that the store does not own,
// byte for byte and in order; whatever it refuses, it leaves as it was (or sets aside whole).
// Shared by the suite's bounded random test and the libFuzzer target.

#include "serial/ComTypes.h"

#include <QByteArray>
#include <QString>

/// A temporary-folder template in memory where there is one: every store syncs its file, and
/// a disk makes thousands of checks slow.
QString ScratchTemplate();

/// Empty when the promise holds for File as the per-user settings store (stRegistry) or as an
/// ini file (stIniFile); otherwise what broke. Works below Dir, and points $XDG_CONFIG_HOME
/// there.
QString StoreRoundTripFault(const QByteArray &File, TStoreType Kind, const QString &Dir);
