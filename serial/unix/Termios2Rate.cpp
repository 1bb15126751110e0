#include "serial/unix/Termios2Rate.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

int Termios2SetRate(int Fd, int Rate)
{
    if (Rate <= 0)
        return EINVAL;
    termios2 t{};
    if (ioctl(Fd, TCGETS2, &t) != 0)
        return errno;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = unsigned(Rate);
    t.c_ospeed = unsigned(Rate);
    if (ioctl(Fd, TCSETS2, &t) != 0)
        return errno;
    return 0;
}

int Termios2GetRate(int Fd, unsigned &OutRate, unsigned &InRate)
{
    termios2 t{};
    if (ioctl(Fd, TCGETS2, &t) != 0)
        return errno;
    OutRate = t.c_ospeed;
    InRate = t.c_ispeed;
    return 0;
}
