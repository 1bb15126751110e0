// The terminal device layer: every system call of the serial component lives here.

#include "serial/ComBackend.h"
#include "serial/unix/Termios2Rate.h"
#include "serial/unix/UnixEventSource.h"
#include "serial/unix/UnixLowLatency.h"
#include "serial/unix/UnixTermios.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

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

bool IsPseudoTerminal(int Fd)
{
    struct stat st {};
    if (fstat(Fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143; // Unix98 pseudo-terminal slaves
}

int Ioctl(int Fd, unsigned long Request, void *Arg)
{
    int r;
    do
        r = ioctl(Fd, Request, Arg);
    while (r != 0 && errno == EINTR);
    return r == 0 ? 0 : errno;
}

} // namespace

speed_t MakeRawTermios(termios &t, const TLineSettings &S)
{
    t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON
                           | IXOFF | IXANY | INPCK | IGNPAR | IMAXBEL | IUCLC);
    if (S.ParityCheck)
        t.c_iflag |= INPCK;
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
    // VMIN 1 makes an empty non-blocking read EAGAIN, so a read of 0 bytes means hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    const speed_t speed = StandardSpeed(S.BaudRate);
    // A rate without a constant is set through termios2 afterwards; B38400 holds its place.
    cfsetispeed(&t, speed != B0 ? speed : B38400);
    cfsetospeed(&t, speed != B0 ? speed : B38400);
    return speed;
}

namespace {

class TUnixComBackend final : public TComBackend {
public:
    explicit TUnixComBackend(std::shared_ptr<TSerialFlagsAccess> Flags) : FLowLatency(std::move(Flags)) {}

    int Open(const QByteArray &Path, int &Handle) override
    {
        Handle = -1;
        int fd = ::open(Path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return errno;
        int err = 0;
        if (!isatty(fd))
            err = ENOTTY;
        // TIOCEXCL keeps other users out but not root, and not this process's own second
        // open: the advisory lock covers both.
        else if (flock(fd, LOCK_EX | LOCK_NB) != 0)
            err = errno == EWOULDBLOCK ? EBUSY : errno;
        else
            err = Ioctl(fd, TIOCEXCL, nullptr);
        if (err != 0) {
            ::close(fd);
            return err;
        }
        FLowLatency.Enter(fd);
        Handle = fd;
        return 0;
    }

    int Close(int Handle) override
    {
        if (Handle < 0)
            return EBADF;
        FLowLatency.Leave(Handle);
        Ioctl(Handle, TIOCNXCL, nullptr);
        // Linux releases the descriptor even when close reports EINTR.
        if (::close(Handle) != 0 && errno != EINTR)
            return errno;
        return 0;
    }

    int Apply(int Handle, const TLineSettings &S) override
    {
        if (S.BaudRate <= 0)
            return EINVAL;
        termios t{};
        if (tcgetattr(Handle, &t) != 0)
            return errno;
        const speed_t speed = MakeRawTermios(t, S);
        // The C library reports EINVAL when the driver dropped data bits or parity; a
        // pseudo-terminal always does (it has no framing), and there it is no failure.
        if (tcsetattr(Handle, TCSANOW, &t) != 0 && !(errno == EINVAL && IsPseudoTerminal(Handle)))
            return errno;
        if (speed == B0) {
            if (int err = Termios2SetRate(Handle, S.BaudRate))
                return err;
        }
        for (auto [line, level] : {std::pair{mlDTR, S.Dtr}, std::pair{mlRTS, S.Rts}}) {
            if (level < 0 || (line == mlRTS && S.RtsCtsFlow))
                continue;
            int err = SetLine(Handle, line, level != 0);
            if (err != 0 && !IsUnsupportedByDevice(err))
                return err;
        }
        return 0;
    }

    int Read(int Handle, void *Buffer, int Count, int &Done) override
    {
        Done = 0;
        for (;;) {
            ssize_t n = ::read(Handle, Buffer, size_t(Count));
            if (n > 0) {
                Done = int(n);
                return 0;
            }
            if (n == 0)
                return Count > 0 ? EIO : 0; // readable with nothing to read: hung up
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : errno;
        }
    }

    int Write(int Handle, const void *Buffer, int Count, int &Done) override
    {
        Done = 0;
        for (;;) {
            ssize_t n = ::write(Handle, Buffer, size_t(Count));
            if (n >= 0) {
                Done = int(n);
                return 0;
            }
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : errno;
        }
    }

    int Wait(int Handle, bool ForRead, int TimeoutMs, int StopFd, bool &Ready,
             bool &Stopped) override
    {
        Ready = Stopped = false;
        pollfd fds[2] = {{Handle, short(ForRead ? POLLIN : POLLOUT), 0}, {StopFd, POLLIN, 0}};
        int r = ::poll(fds, StopFd >= 0 ? 2 : 1, TimeoutMs < 0 ? -1 : TimeoutMs);
        if (r < 0)
            return errno == EINTR ? 0 : errno;
        if (fds[0].revents & POLLNVAL)
            return EBADF;
        Ready = fds[0].revents != 0;
        Stopped = StopFd >= 0 && fds[1].revents != 0;
        return 0;
    }

    int InputCount(int Handle, int &Count) override
    {
        Count = 0;
        return Ioctl(Handle, FIONREAD, &Count);
    }

    int OutputCount(int Handle, int &Count) override
    {
        Count = 0;
        return Ioctl(Handle, TIOCOUTQ, &Count);
    }

    int Purge(int Handle, bool Input, bool Output) override
    {
        if (!Input && !Output)
            return fcntl(Handle, F_GETFL) < 0 ? errno : 0;
        return tcflush(Handle, Input && Output ? TCIOFLUSH : Input ? TCIFLUSH : TCOFLUSH) == 0
                   ? 0
                   : errno;
    }

    int ModemLines(int Handle, TComSignals &Lines) override
    {
        Lines = {};
        int bits = 0;
        if (int err = Ioctl(Handle, TIOCMGET, &bits))
            return err;
        if (bits & TIOCM_CTS)
            Lines.Include(csCTS);
        if (bits & TIOCM_DSR)
            Lines.Include(csDSR);
        if (bits & TIOCM_RNG)
            Lines.Include(csRing);
        if (bits & TIOCM_CAR)
            Lines.Include(csRLSD);
        return 0;
    }

    int SetLine(int Handle, TModemLine Line, bool OnOff) override
    {
        int bit = Line == mlDTR ? TIOCM_DTR : TIOCM_RTS;
        return Ioctl(Handle, OnOff ? TIOCMBIS : TIOCMBIC, &bit);
    }

    int SetBreak(int Handle, bool OnOff) override
    {
        return Ioctl(Handle, OnOff ? TIOCSBRK : TIOCCBRK, nullptr);
    }

    int SetFlow(int Handle, bool Resume) override
    {
        return tcflow(Handle, Resume ? TCOON : TCOOFF) == 0 ? 0 : errno;
    }

    int TransmitChar(int Handle, quint8 Ch) override
    {
        int done = 0;
        if (int err = Write(Handle, &Ch, 1, done))
            return err;
        return done == 1 ? 0 : EAGAIN;
    }

    int ErrorCounts(int Handle, TLineErrorCounts &Counts) override
    {
        serial_icounter_struct c{};
        if (int err = Ioctl(Handle, TIOCGICOUNT, &c))
            return err;
        Counts.Frame = quint64(c.frame);
        Counts.Overrun = quint64(c.overrun);
        Counts.Parity = quint64(c.parity);
        Counts.Break = quint64(c.brk);
        Counts.BufferOverrun = quint64(c.buf_overrun);
        return 0;
    }

    std::unique_ptr<TComEventSource> CreateEventSource(int Handle, const TEventSetup &Setup,
                                                       int &Err) override
    {
        return CreateUnixEventSource(Handle, Setup, Err);
    }

private:
    TLowLatency FLowLatency;
};

} // namespace

std::shared_ptr<TComBackend> CreateUnixComBackend(std::shared_ptr<TSerialFlagsAccess> Flags)
{
    return std::make_shared<TUnixComBackend>(std::move(Flags));
}

std::shared_ptr<TComBackend> CreateSystemComBackend()
{
    return CreateUnixComBackend(SystemSerialFlags());
}
