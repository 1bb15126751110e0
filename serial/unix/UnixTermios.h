#pragma once
// Internal: how line settings map onto a terminal's termios (raw mode).

#include "serial/ComBackend.h"

#include <termios.h>

/// Puts T into raw mode with Settings; returns the rate's Bxxx constant, or B0 when the
/// rate has none and must be set through termios2.
speed_t MakeRawTermios(termios &T, const TLineSettings &Settings);
