#pragma once
// Internal: where the platform's port list comes from. Implemented in the backend folder.

#include "serial/ComPortInfo.h"

/// Fills Ports (unsorted) with the serial ports the system knows under Root. False, with
/// Ports untouched, when the system keeps no port list there at all.
bool ListSystemComPorts(const QString &Root, std::vector<TComPortInfo> &Ports);
