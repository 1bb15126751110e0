#include "protocol/PortWaiter.h"

#include "serial/ComPort.h"

#include <QCoreApplication>

namespace {
constexpr int RestMs = 10;

/// Keeps a port's waiter as a child of the port, so that it goes with the port.
class TPortWaiterHolder : public QObject {
    Q_OBJECT // found among the port's children by a cheap cast, once per transaction
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

TPortWaiter::TPortWaiter(int fd) : FNotifier(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read))
{
    QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this] { Activated(); });
    SetUpRest();
}

TPortWaiter::TPortWaiter(TCustomComPort &Port) : FPort(&Port)
{
    FSignal = QObject::connect(&Port, &TCustomComPort::InputAvailable, [this] { Activated(); });
    SetUpRest();
    Watch(true);
}

TPortWaiter::~TPortWaiter()
{
    QObject::disconnect(FSignal);
}

std::shared_ptr<TPortWaiter> TPortWaiter::ForPort(TCustomComPort &Port)
{
    TPortWaiterHolder *holder = nullptr;
    for (QObject *child : Port.children())
        if ((holder = qobject_cast<TPortWaiterHolder *>(child)))
            break;
    if (!holder)
        holder = new TPortWaiterHolder(Port);
    std::shared_ptr<TPortWaiter> &waiter = holder->Waiter;
    if (!waiter || waiter->Released())
        waiter = std::make_shared<TPortWaiter>(Port);
    return waiter;
}

void TPortWaiter::SetUpRest()
{
    FRest.setSingleShot(true);
    FRest.setTimerType(Qt::PreciseTimer); // a chunk that comes due is read on time
    QObject::connect(&FRest, &QTimer::timeout, [this] {
        if (!FActive || FReleased)
            return;
        Watch(true);
        FWoken = FWoken || FDue;
        FDue = false;
    });
}

void TPortWaiter::Watch(bool On)
{
    if (FNotifier)
        FNotifier->setEnabled(On);
    else if (FPort && !FReleased)
        FPort->WatchInput(On);
}

bool TPortWaiter::Watching() const
{
    return FNotifier ? FNotifier->isEnabled() : FPort && !FReleased && FPort->WatchingInput();
}

void TPortWaiter::Activated()
{
    FWoken = true;
    // Nobody reads between transactions: a level-triggered watch would wake the loop forever.
    if (!FActive)
        Watch(false);
}

bool TPortWaiter::Wait(bool sleep)
{
    FWoken = false;
    QCoreApplication::processEvents(sleep ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
    return FWoken;
}

void TPortWaiter::Rest()
{
    Watch(false);
    FDue = false;
    FRest.start(RestMs);
}

void TPortWaiter::RestFor(int ms)
{
    Watch(false);
    FDue = true;
    FRest.start(ms);
}

void TPortWaiter::EndDueRest()
{
    if (FDue) {
        FDue = false;
        FRest.stop();
    }
}

void TPortWaiter::Pause()
{
    FActive = false;
    EndDueRest();
    // A watch that looks for input costs while nobody waits; one that is woken does not.
    if (FPort && !FReleased && FPort->InputWatchPolls())
        Watch(false);
}

void TPortWaiter::Resume()
{
    if (FReleased)
        return;
    FActive = true;
    EndDueRest();
    if (!Watching() && !FRest.isActive())
        Watch(true);
}

void TPortWaiter::Release()
{
    Watch(false);
    FReleased = true;
    FActive = false;
    FRest.stop();
    QObject::disconnect(FSignal);
}

#include "PortWaiter.moc"
