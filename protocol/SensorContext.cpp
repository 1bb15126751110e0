#include "protocol/SensorContext.h"

#include "protocol/Connection.h"
#include "protocol/Timer.h"

#include <stdexcept>

namespace {
void BindTimer(TSensorContext &Context)
{
    Context.TimeoutTimer().SetOnTimer([&Context](QObject *Sender) { tmrTimeoutTimer(Context, Sender); });
}
} // namespace

TSensorContext::TSensorContext(TDeviceHost &Host) : FHost(Host), FConnection(nullptr)
{
    BindTimer(*this);
}

TSensorContext::TSensorContext(TConnectionHost &Host) : FHost(Host), FConnection(&Host)
{
    BindTimer(*this);
}

TSensorContext::~TSensorContext()
{
    TimeoutTimer().SetOnTimer({});
}

TConnectionHost &TSensorContext::Connection() const
{
    if (!FConnection)
        throw std::logic_error("this sensor context cannot connect");
    return *FConnection;
}

void tmrTimeoutTimer(TSensorContext &Context, QObject *Sender)
{
    Context.TimedOut = true;
    if (auto *timer = qobject_cast<TTimer *>(Sender))
        timer->SetEnabled(false);
}
