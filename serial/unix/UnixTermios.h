#pragma once
// Internal: how line settings map onto a terminal's termios (raw mode), and whether the
// terminal took them.

#include "serial/ComBackend.h"

#include <termios.h>

struct TTermiosImage;

/// Puts T into raw mode with Settings; returns the rate's Bxxx constant, or B0 when the
/// rate has none and must be given in bits per second.
speed_t MakeRawTermios(termios &T, const TLineSettings &Settings);
/// The flags and control characters of T, for a termios2 request.
TTermiosImage ToTermiosImage(const termios &T);

/// How far a rate the device runs at may be from the one asked for: a UART still frames
/// bytes sent at up to about 3 % off its own rate.
inline constexpr double RateTolerance = 0.03;
/// 0 when the device runs with what Asked says, given what it reports back (its control
/// flags and output rate); EINVAL otherwise. NoFraming: a device that always runs 8 data
/// bits without parity, whose data bits and parity are not held against it.
int CheckTaken(const TLineSettings &Asked, unsigned TakenCFlag, unsigned TakenRate,
               bool NoFraming);
/// Raw mode with Settings in one request, then the check that the device took them
/// (NoFraming as for CheckTaken). 0 or the errno.
int ApplyLineSettings(int Fd, const TLineSettings &Settings, bool NoFraming);
/// True for a pseudo-terminal, told by the driver that serves the device.
bool IsPseudoTerminal(int Fd);
