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

void TPortWaiter::Wait(int got, int asked)
{
    const bool block = got < asked;
    if (got == 0 && FWoken) {
        // Woken for input, yet the read found none.
        FNotifier.setEnabled(false);
        FRest.start();
    }
    FWoken = false;
    QCoreApplication::processEvents(block ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
}
