#pragma once
// Internal: the line settings as a device control block, and the check of what the
// driver made of them.

#include "serial/ComBackend.h"

#include <windows.h>

/// Current is the device's present state: the fields the settings leave alone keep it.
DCB BuildDcb(const TLineSettings &Settings, const DCB &Current);

/// True when the driver's read-back holds every field that BuildDcb set.
bool SameLine(const DCB &Wanted, const DCB &Got);
