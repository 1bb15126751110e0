#pragma once
// Internal: rates without a Bxxx constant. Kept in its own translation unit because the
// kernel's termios2 header cannot meet <termios.h>.

/// Sets input and output rate to Rate bits per second; 0 or the errno.
int Termios2SetRate(int Fd, int Rate);
/// Reads the output and input rates in bits per second; 0 or the errno.
int Termios2GetRate(int Fd, unsigned &OutRate, unsigned &InRate);
