#include "serial/unix/EventFdWakeup.h"

#include <cerrno>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

class TEventFdWakeup final : public TComWakeup {
public:
    explicit TEventFdWakeup(int Fd) : FFd(Fd) {}
    ~TEventFdWakeup() override { ::close(FFd); }
    int Fd() const override { return FFd; }
    void Set() override { KickEventFd(FFd); }
    void Reset() override { DrainEventFd(FFd); }

private:
    const int FFd;
};

} // namespace

void KickEventFd(int Fd)
{
    const quint64 one = 1;
    while (::write(Fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void DrainEventFd(int Fd)
{
    quint64 value;
    while (::read(Fd, &value, sizeof value) > 0) {
    }
}

std::unique_ptr<TComWakeup> CreateEventFdWakeup(int &Err)
{
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    Err = fd < 0 ? errno : 0;
    return fd < 0 ? nullptr : std::make_unique<TEventFdWakeup>(fd);
}
