// The terminal device layer: every system call of the serial component lives here.

#include "serial/ComBackend.h"
#include "serial/unix/EventFdWakeup.h"
#include "serial/unix/ParityMarks.h"
#include "serial/unix/Termios2Rate.h"
#include "serial/unix/UnixEventSource.h"
#include "serial/unix/UnixLowLatency.h"
#include "serial/unix/UnixIoctl.h"
#include "serial/unix/UnixTermios.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

/// True when the device has hung up or failed, as poll sees it.
bool HungUp(int Fd)
{
    pollfd p{Fd, POLLIN, 0};
    int r;
    do
        r = ::poll(&p, 1, 0);
    while (r < 0 && errno == EINTR);
    return r > 0 && (p.revents & (POLLHUP | POLLERR)) != 0;
}

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
        {
            std::lock_guard guard(FMarksLock);
            FMarks.erase(Handle);
        }
        Ioctl(Handle, TIOCNXCL, nullptr);
        // Linux releases the descriptor even when close reports EINTR.
        if (::close(Handle) != 0 && errno != EINTR)
            return errno;
        return 0;
    }

    int Apply(int Handle, const TLineSettings &S) override
    {
        if (int err = ApplyLineSettings(Handle, S, IsPseudoTerminal(Handle)))
            return err;
        {
            std::lock_guard guard(FMarksLock);
            if (S.ParityCheck)
                FMarks[Handle].SetRule(S.ParityReplace, S.ReplaceChar);
            else
                FMarks.erase(Handle);
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
                Done = Decode(Handle, static_cast<char *>(Buffer), int(n));
                return 0;
            }
            if (n == 0) // an empty live line reads so too when VMIN is 0
                return Count > 0 && HungUp(Handle) ? EIO : 0;
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
        if (Input) {
            std::lock_guard guard(FMarksLock);
            if (auto it = FMarks.find(Handle); it != FMarks.end())
                it->second.Reset();
        }
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

    std::unique_ptr<TComWakeup> CreateWakeup(int &Err) override { return CreateEventFdWakeup(Err); }

    int Reason(TComReason Reason) const override
    {
        switch (Reason) {
        case rsBadArgument: return EINVAL;
        case rsNotOpen: return EBADF;
        case rsNoWatch: return EIO;
        }
        return EIO;
    }

    bool IsUnsupportedByDevice(int Err) const override { return Err == ENOTTY || Err == EINVAL; }

private:
    /// Bytes with their error marks stripped, by the port's rule; unchanged without marks.
    int Decode(int Handle, char *Buffer, int Count)
    {
        std::lock_guard guard(FMarksLock);
        auto it = FMarks.find(Handle);
        return it == FMarks.end() ? Count : it->second.Decode(Buffer, Count);
    }

    std::mutex FMarksLock; // reads come from the event thread and the async queue too
    std::map<int, TParityMarkDecoder> FMarks; ///< handles that read with checked parity
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
