#include "serial/unix/UnixLowLatency.h"

#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace {

int SerialIoctl(int Fd, unsigned long Request, serial_struct &S)
{
    int r;
    do
        r = ioctl(Fd, Request, &S);
    while (r != 0 && errno == EINTR);
    return r == 0 ? 0 : errno;
}

class TSystemSerialFlags final : public TSerialFlagsAccess {
public:
    int GetLowLatency(int Fd, bool &On) override
    {
        serial_struct s{};
        On = false;
        if (int err = SerialIoctl(Fd, TIOCGSERIAL, s))
            return err;
        On = (s.flags & ASYNC_LOW_LATENCY) != 0;
        return 0;
    }

    int SetLowLatency(int Fd, bool On) override
    {
        // The whole structure goes back as read: only the one flag changes.
        serial_struct s{};
        if (int err = SerialIoctl(Fd, TIOCGSERIAL, s))
            return err;
        s.flags = On ? s.flags | ASYNC_LOW_LATENCY : s.flags & ~ASYNC_LOW_LATENCY;
        return SerialIoctl(Fd, TIOCSSERIAL, s);
    }
};

} // namespace

std::shared_ptr<TSerialFlagsAccess> SystemSerialFlags()
{
    return std::make_shared<TSystemSerialFlags>();
}

void TLowLatency::Enter(int Fd)
{
    bool on = false;
    // Any refusal only costs speed, never the open.
    if (FAccess->GetLowLatency(Fd, on) != 0 || on || FAccess->SetLowLatency(Fd, true) != 0)
        return;
    std::lock_guard guard(FLock);
    FSwitched.insert(Fd);
}

void TLowLatency::Leave(int Fd)
{
    {
        std::lock_guard guard(FLock);
        if (FSwitched.erase(Fd) == 0)
            return;
    }
    FAccess->SetLowLatency(Fd, false);
}
