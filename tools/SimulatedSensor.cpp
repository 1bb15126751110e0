#include "tools/SimulatedSensor.h"

#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <unistd.h>

TSimulatedSensor::TSimulatedSensor(const TSensorOptions &options) : FSim(FPty.Master(), options)
{
    if (pipe2(FStop, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe2");
    FThread = std::thread([this] { FSim.Serve(FStop[0]); });
}

TSimulatedSensor::~TSimulatedSensor()
{
    Stop();
    ::close(FStop[0]);
    ::close(FStop[1]);
}

void TSimulatedSensor::Stop()
{
    if (!FThread.joinable())
        return;
    const char stop = 1;
    while (::write(FStop[1], &stop, 1) < 0 && errno == EINTR) {
    }
    FThread.join();
}

void TSimulatedSensor::Inject(const QByteArray &bytes)
{
    for (qsizetype pos = 0; pos < bytes.size();) {
        const ssize_t n = ::write(FPty.Master(), bytes.constData() + pos, size_t(bytes.size() - pos));
        if (n > 0) {
            pos += n;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{FPty.Master(), POLLOUT, 0};
            poll(&p, 1, 1000);
        } else if (!(n < 0 && errno == EINTR)) {
            throw std::system_error(errno, std::generic_category(), "inject");
        }
    }
}

void TSimulatedSensor::Unplug()
{
    Stop();
    FPty.CloseMaster();
}
