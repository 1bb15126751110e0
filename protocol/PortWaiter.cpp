#include "protocol/PortWaiter.h"

#include <QCoreApplication>

namespace {
constexpr int RestMs = 10;
}

TPortWaiter::TPortWaiter(int fd) : FNotifier(fd, QSocketNotifier::Read)
{
    QObject::connect(&FNotifier, &QSocketNotifier::activated, [this] { FWoken = true; });
    FRest.setSingleShot(true);
    FRest.setInterval(RestMs);
    QObject::connect(&FRest, &QTimer::timeout, [this] { FNotifier.setEnabled(true); });
}

bool TPortWaiter::Wait(bool sleep)
{
    FWoken = false;
    QCoreApplication::processEvents(sleep ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
    return FWoken;
}

void TPortWaiter::Rest()
{
    FNotifier.setEnabled(false);
    FRest.start();
}
