#include "protocol/PortWaiter.h"

#include "serial/ComPort.h"

#include <QCoreApplication>

namespace {
constexpr int RestMs = 10;

/// Keeps a port's waiter as a child of the port, so that it goes with the port.
class TPortWaiterHolder : public QObject {
public:
    explicit TPortWaiterHolder(TCustomComPort &Port) : QObject(&Port)
    {
        QObject::connect(&Port, &TCustomComPort::HandleClosing, this, [this] {
            if (Waiter) {
                Waiter->Release();
                Waiter.reset(); // a transaction still in progress keeps its own reference
            }
        });
    }
    std::shared_ptr<TPortWaiter> Waiter;
};
} // namespace

TPortWaiter::TPortWaiter(int fd) : FNotifier(fd, QSocketNotifier::Read)
{
#ifdef Q_OS_WIN
    QObject::connect(&FNotifier.Timer, &QTimer::timeout, [this] { Activated(); });
#else
    QObject::connect(&FNotifier, &QSocketNotifier::activated, [this] { Activated(); });
#endif
    FRest.setSingleShot(true);
    FRest.setInterval(RestMs);
    QObject::connect(&FRest, &QTimer::timeout, [this] {
        if (FActive && !FReleased)
            FNotifier.setEnabled(true);
    });
}

std::shared_ptr<TPortWaiter> TPortWaiter::ForPort(TCustomComPort &Port)
{
    TPortWaiterHolder *holder = nullptr;
    for (QObject *child : Port.children())
        if ((holder = dynamic_cast<TPortWaiterHolder *>(child)))
            break;
    if (!holder)
        holder = new TPortWaiterHolder(Port);
    std::shared_ptr<TPortWaiter> &waiter = holder->Waiter;
    if (!waiter || waiter->Released() || waiter->Descriptor() != Port.Handle()) {
        if (waiter)
            waiter->Release();
        waiter = std::make_shared<TPortWaiter>(Port.Handle());
    }
    return waiter;
}

void TPortWaiter::Activated()
{
    FWoken = true;
    // Nobody reads between transactions: a level-triggered watch would wake the loop forever.
    if (!FActive)
        FNotifier.setEnabled(false);
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

void TPortWaiter::Pause() { FActive = false; }

void TPortWaiter::Resume()
{
    if (FReleased)
        return;
    FActive = true;
    if (!FNotifier.isEnabled() && !FRest.isActive())
        FNotifier.setEnabled(true);
}

void TPortWaiter::Release()
{
    FReleased = true;
    FActive = false;
    FRest.stop();
    FNotifier.setEnabled(false);
}
