#pragma once
// Internal: the kernel's termios2, which carries any rate in bits per second. Kept in its
// own translation unit because the kernel's header cannot meet <termios.h>; the flags and
// the control characters have the same values and places in both.

/// Flags, control characters and rates of a terminal.
struct TTermiosImage {
    unsigned IFlag = 0, OFlag = 0, CFlag = 0, LFlag = 0;
    unsigned char Line = 0;
    unsigned char Cc[19] = {};
    unsigned InRate = 0, OutRate = 0; ///< bits per second
};

/// Applies T in one step; a nonzero OutRate is set as a rate of its own (the flags' rate
/// constant is replaced). 0 or the errno.
int Termios2Set(int Fd, const TTermiosImage &T);
/// Reads the terminal's settings and the rates it runs at. 0 or the errno.
int Termios2Get(int Fd, TTermiosImage &T);

/// The output and input rates alone. 0 or the errno.
int Termios2GetRate(int Fd, unsigned &OutRate, unsigned &InRate);
