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
    void Set() override
    {
        const quint64 one = 1;
        while (::write(FFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    void Reset() override
    {
        quint64 value;
        while (::read(FFd, &value, sizeof value) > 0) {
        }
    }

private:
    const int FFd;
};

} // namespace

std::unique_ptr<TComWakeup> CreateEventFdWakeup(int &Err)
{
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    Err = fd < 0 ? errno : 0;
    return fd < 0 ? nullptr : std::make_unique<TEventFdWakeup>(fd);
}
