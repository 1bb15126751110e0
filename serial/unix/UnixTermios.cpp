// Line settings as termios flags, and the check that a terminal took them.

#include "serial/unix/UnixTermios.h"

#include "serial/unix/Termios2Rate.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

speed_t StandardSpeed(int Rate)
{
    switch (Rate) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1152000: return B1152000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    case 2500000: return B2500000;
    case 3000000: return B3000000;
    case 3500000: return B3500000;
    case 4000000: return B4000000;
    default: return B0;
    }
}

} // namespace

speed_t MakeRawTermios(termios &t, const TLineSettings &S)
{
    t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON
                           | IXOFF | IXANY | INPCK | IGNPAR | IMAXBEL | IUCLC);
    // Checked input marks each byte received in error instead of turning it into NUL, so
    // that the port can apply its own rule (keep the byte, or replace it).
    if (S.ParityCheck)
        t.c_iflag |= INPCK | PARMRK;
    if (S.XonXoffOut)
        t.c_iflag |= IXON;
    if (S.XonXoffIn)
        t.c_iflag |= IXOFF;
    t.c_oflag &= ~tcflag_t(OPOST);
    t.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | NOFLSH | TOSTOP);
    // CIBAUD cleared: the input rate follows the output rate.
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL | CIBAUD);
    t.c_cflag |= CREAD | CLOCAL;
    switch (S.DataBits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
    }
    switch (S.Parity) {
    case prNone: break;
    case prOdd: t.c_cflag |= PARENB | PARODD; break;
    case prEven: t.c_cflag |= PARENB; break;
    case prMark: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case prSpace: t.c_cflag |= PARENB | CMSPAR; break;
    }
    if (S.TwoStopBits)
        t.c_cflag |= CSTOPB;
    if (S.RtsCtsFlow)
        t.c_cflag |= CRTSCTS;
    t.c_cc[VSTART] = cc_t(S.XonChar);
    t.c_cc[VSTOP] = cc_t(S.XoffChar);
    // Another program may lower VMIN again; a read of 0 bytes alone is no hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    const speed_t speed = StandardSpeed(S.BaudRate);
    // A rate without a constant goes in bits per second in the same request; until then
    // the old rate stays in the flags.
    if (speed != B0) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }
    return speed;
}

TTermiosImage ToTermiosImage(const termios &T)
{
    TTermiosImage image;
    image.IFlag = T.c_iflag;
    image.OFlag = T.c_oflag;
    image.CFlag = T.c_cflag;
    image.LFlag = T.c_lflag;
    image.Line = T.c_line;
    std::memcpy(image.Cc, T.c_cc, sizeof image.Cc);
    return image;
}

int CheckTaken(const TLineSettings &Asked, unsigned TakenCFlag, unsigned TakenRate,
               bool NoFraming)
{
    termios asked{};
    MakeRawTermios(asked, Asked);
    const unsigned framing = CSIZE | PARENB | PARODD | CMSPAR;
    if (!NoFraming && (TakenCFlag & framing) != (asked.c_cflag & framing))
        return EINVAL;
    if ((TakenCFlag & CSTOPB) != (asked.c_cflag & CSTOPB))
        return EINVAL;
    const double wanted = Asked.BaudRate;
    if (TakenRate == 0 || std::abs(double(TakenRate) - wanted) > wanted * RateTolerance)
        return EINVAL;
    return 0;
}

int ApplyLineSettings(int Fd, const TLineSettings &S, bool NoFraming)
{
    if (S.BaudRate <= 0)
        return EINVAL;
    termios t{};
    if (tcgetattr(Fd, &t) != 0)
        return errno;
    const speed_t speed = MakeRawTermios(t, S);
    // One request for everything: a rate without a constant goes with the rest, so the
    // line never runs at a stand-in rate in between.
    TTermiosImage image = ToTermiosImage(t);
    if (speed == B0)
        image.OutRate = image.InRate = unsigned(S.BaudRate);
    if (int err = Termios2Set(Fd, image))
        return err;
    // The request succeeds even when the driver dropped part of it: read back.
    TTermiosImage taken;
    if (int err = Termios2Get(Fd, taken))
        return err;
    return CheckTaken(S, taken.CFlag, taken.OutRate, NoFraming);
}

namespace {

struct TDeviceRange {
    unsigned Major, FirstMinor, LastMinor;
};

/// The device numbers of the pseudo-terminal drivers, read once: they register with the kernel
/// at boot, and reading the driver table on every open or setting change costs more than the
/// rest of it.
const std::vector<TDeviceRange> &PseudoTerminalRanges()
{
    static const std::vector<TDeviceRange> ranges = [] {
        std::vector<TDeviceRange> found;
        // Each line: driver name, device node, major, minor range, driver type.
        std::ifstream drivers("/proc/tty/drivers");
        std::string line;
        while (std::getline(drivers, line)) {
            std::istringstream fields(line);
            std::string name, node, range, type;
            unsigned drvMajor = 0;
            if (!(fields >> name >> node >> drvMajor >> range >> type) || type.rfind("pty", 0) != 0)
                continue;
            unsigned lo = 0, hi = 0;
            const int got = std::sscanf(range.c_str(), "%u-%u", &lo, &hi);
            if (got >= 1)
                found.push_back({drvMajor, lo, got == 2 ? hi : lo});
        }
        return found;
    }();
    return ranges;
}

} // namespace

bool IsPseudoTerminal(int Fd)
{
    struct stat st {};
    if (fstat(Fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned devMajor = major(st.st_rdev), devMinor = minor(st.st_rdev);
    return std::any_of(PseudoTerminalRanges().begin(), PseudoTerminalRanges().end(), [&](const TDeviceRange &r) {
        return r.Major == devMajor && devMinor >= r.FirstMinor && devMinor <= r.LastMinor;
    });
}

