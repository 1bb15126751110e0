#include "serial/unix/Termios2Rate.h"

#include "serial/unix/UnixIoctl.h"

#include <asm/termbits.h>
#include <cstring>

static_assert(sizeof(termios2::c_cc) >= sizeof(TTermiosImage::Cc));

int Termios2Set(int Fd, const TTermiosImage &T)
{
    termios2 t{};
    t.c_iflag = T.IFlag;
    t.c_oflag = T.OFlag;
    t.c_cflag = T.CFlag;
    t.c_lflag = T.LFlag;
    t.c_line = T.Line;
    std::memcpy(t.c_cc, T.Cc, sizeof T.Cc);
    if (T.OutRate != 0) {
        t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
        t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
        t.c_ospeed = T.OutRate;
        t.c_ispeed = T.InRate != 0 ? T.InRate : T.OutRate;
    }
    return Ioctl(Fd, TCSETS2, &t);
}

int Termios2Get(int Fd, TTermiosImage &T)
{
    termios2 t{};
    if (int err = Ioctl(Fd, TCGETS2, &t))
        return err;
    T.IFlag = t.c_iflag;
    T.OFlag = t.c_oflag;
    T.CFlag = t.c_cflag;
    T.LFlag = t.c_lflag;
    T.Line = t.c_line;
    std::memcpy(T.Cc, t.c_cc, sizeof T.Cc);
    T.InRate = t.c_ispeed;
    T.OutRate = t.c_ospeed;
    return 0;
}

int Termios2GetRate(int Fd, unsigned &OutRate, unsigned &InRate)
{
    TTermiosImage t;
    if (int err = Termios2Get(Fd, t))
        return err;
    OutRate = t.OutRate;
    InRate = t.InRate;
    return 0;
}
