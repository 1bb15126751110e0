// Line events of a network line. The thread sleeps in poll() on the socket, the link's news
// (bytes another thread took off the socket) and its own stop and wake-up descriptors:
//   evRxChar, evRx80Full  decoded data waits that was not there before (as on a terminal)
//   evTxEmpty             the port wrote, and neither this side nor the socket holds any of it
//   evCTS, evDSR, evRLSD, evRing, evError, evBreak
//                         rfc2217:// only, from the server's modem and line-state notices
//   evRxFlag              never
// The server closing the connection ends the wait with EIO once the data before it is read.

#include "serial/net/NetEventSource.h"
#include "serial/unix/EventFdWakeup.h"

#include "serial/RxQueueEvents_p.h"
#include "serial/net/NetLink.h"

#include <atomic>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

constexpr int TxLookMs = 5; ///< how often queued output is looked at while it leaves

class TNetEventSource final : public TComEventSource {
public:
    TNetEventSource(std::shared_ptr<TNetLink> Link, const TEventSetup &Setup) : FLink(std::move(Link)), FSetup(Setup) {}

    ~TNetEventSource() override
    {
        for (int fd : {FStop, FWake})
            if (fd >= 0)
                ::close(fd);
    }

    int Start()
    {
        FStop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        FWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (FStop < 0 || FWake < 0)
            return errno;
        FBase = FLink->State();
        return 0;
    }

    int Wait(TComEvents &Events, int TimeoutMs, int StopFd, bool &Stopped) override
    {
        Events = {};
        Stopped = false;
        int timeout = TimeoutMs;
        if (FTxPending.load() && (timeout < 0 || timeout > TxLookMs))
            timeout = TxLookMs;
        pollfd fds[5] = {{FStop, POLLIN, 0},
                         {FEnded ? -1 : FLink->Socket(), POLLIN, 0}, // an ended socket stays readable
                         {FLink->NewsFd(), POLLIN, 0},
                         {FWake, POLLIN, 0},
                         {StopFd, POLLIN, 0}};
        const int r = ::poll(fds, StopFd >= 0 ? 5 : 4, timeout);
        if (r < 0)
            return errno == EINTR ? 0 : errno;
        if (fds[0].revents)
            return ECANCELED;
        if (StopFd >= 0 && fds[4].revents) {
            Stopped = true;
            return 0;
        }
        DrainEventFd(FLink->NewsFd());
        DrainEventFd(FWake);
        FEnded = !FLink->Pump();
        DrainEventFd(FLink->NewsFd()); // our own taking is no news to us
        Collect(Events);
        Events = Events & FSetup.Events;
        if (Events.Empty() && FEnded) {
            int count = 0;
            FLink->InputCount(count);
            if (count == 0)
                return EIO;
        }
        return 0;
    }

    void Stop() override { KickEventFd(FStop); }

    void Written() override
    {
        FTxPending.store(true);
        KickEventFd(FWake);
    }

    void Consumed() override { FRx.Consumed(); }

private:
    void Collect(TComEvents &Events)
    {
        int count = 0;
        FLink->InputCount(count);
        FRx.Look(count, FSetup.RxFullCount, Events);
        if (FTxPending.load()) {
            int queued = 0;
            if (FLink->OutputCount(queued) == 0 && queued == 0) {
                FTxPending.store(false);
                Events.Include(evTxEmpty);
            }
        }
        if (!FLink->Rfc2217())
            return;
        using namespace comport;
        const TComPortState now = FLink->State();
        if (now.ModemNotices != FBase.ModemNotices) {
            const quint8 changed = quint8(now.ModemState ^ FBase.ModemState) | quint8(now.ModemState & 0x0F);
            if (changed & (MsCts | MsDeltaCts))
                Events.Include(evCTS);
            if (changed & (MsDsr | MsDeltaDsr))
                Events.Include(evDSR);
            if (changed & (MsDcd | MsDeltaDcd))
                Events.Include(evRLSD);
            // The end of a ring, as a driver's counter counts it.
            if ((now.ModemState & MsRiTrailing) || ((FBase.ModemState & MsRi) && !(now.ModemState & MsRi)))
                Events.Include(evRing);
        }
        if (now.Frames != FBase.Frames || now.Parities != FBase.Parities || now.Overruns != FBase.Overruns)
            Events.Include(evError);
        if (now.Breaks != FBase.Breaks)
            Events.Include(evBreak);
        FBase = now;
    }

    const std::shared_ptr<TNetLink> FLink;
    const TEventSetup FSetup;
    int FStop = -1, FWake = -1;
    std::atomic<bool> FTxPending{false};
    TRxQueueEvents FRx;
    bool FEnded = false;
    TComPortState FBase;
};

} // namespace

std::unique_ptr<TComEventSource> CreateNetEventSource(std::shared_ptr<TNetLink> Link, const TEventSetup &Setup,
                                                      int &Err)
{
    auto source = std::make_unique<TNetEventSource>(std::move(Link), Setup);
    Err = source->Start();
    if (Err != 0)
        source.reset();
    return source;
}
