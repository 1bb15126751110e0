// Line events of a terminal device.
//
// One epoll set holds the device (edge-triggered), a stop eventfd and a wake-up eventfd.
// The thread sleeps in poll() on that set and never on a timer, except while written bytes
// are still queued (then it looks again when they should have left). It asks the device only
// for what is watched (SetWatched): with nothing watched, received bytes, written bytes and
// line changes do not wake it, and only a hang-up, a stop or a change of the watch does.
//   evRxChar    the device signalled input and the queue holds bytes it did not hold before
//               (more bytes, or the port has read since): bytes left unread wake nobody.
//   evRx80Full  the input count reached 80 % of the input size at such a wake-up.
//   evTxEmpty   the port wrote, and the output queue has since drained.
//   evError     the driver's frame, overrun, parity or buffer-overrun counter grew.
//   evBreak     the driver's break counter grew.
//   evCTS, evDSR, evRLSD, evRing
//               a helper thread sleeps in TIOCMIWAIT and wakes the set; the driver's line
//               counters (or, without them, the line levels) tell which line changed.
//   evRxFlag    never: a terminal cannot spot a character without consuming it.
// Devices without counters or TIOCMIWAIT (pseudo-terminals) never raise those events.
// A hang-up (adapter unplugged, pty master closed) ends the wait with EIO.

#include "serial/unix/UnixEventSource.h"
#include "serial/RxQueueEvents_p.h"
#include "serial/unix/EventFdWakeup.h"

#include "serial/unix/UnixIoctl.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr quint32 TagDevice = 1, TagWake = 2;

int WakeSignal() { return SIGRTMIN + 4; }

void NoAction(int) {}

/// The signal that interrupts TIOCMIWAIT; installed once, without SA_RESTART.
void InstallWakeSignal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction old {};
        sigaction(WakeSignal(), nullptr, &old);
        if (old.sa_handler != SIG_DFL)
            return; // someone else uses it: keep theirs, it interrupts the wait as well
        struct sigaction sa {};
        sa.sa_handler = NoAction;
        sigemptyset(&sa.sa_mask);
        sigaction(WakeSignal(), &sa, nullptr);
    });
}

class TUnixEventSource final : public TComEventSource {
public:
    TUnixEventSource(int Handle, const TEventSetup &Setup)
        : FHandle(Handle), FSetup(Setup), FWanted(Setup.Events.ToBits())
    {
    }

    int Start()
    {
        FEpoll = epoll_create1(EPOLL_CLOEXEC);
        FStop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        FWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (FEpoll < 0 || FStop < 0 || FWake < 0)
            return errno;
        // Nothing is waited for until the first wait follows what is watched by then: the
        // port narrows the set before that, and a helper started for the lines in between
        // would start a thread for nobody.
        FActive = {};
        epoll_event dev{DeviceInterest(FActive), {}};
        dev.data.u32 = TagDevice;
        epoll_event wake{EPOLLIN, {}};
        wake.data.u32 = TagWake;
        if (epoll_ctl(FEpoll, EPOLL_CTL_ADD, FHandle, &dev) != 0
            || epoll_ctl(FEpoll, EPOLL_CTL_ADD, FWake, &wake) != 0)
            return errno;
        // Asked once per open: a driver either keeps counters or it does not.
        serial_icounter_struct c{};
        FHaveCounts = Ioctl(FHandle, TIOCGICOUNT, &c) == 0;
        FBase = c;
        return 0;
    }

    ~TUnixEventSource() override
    {
        StopModemWatch();
        for (int fd : {FEpoll, FStop, FWake})
            if (fd >= 0)
                ::close(fd);
    }

    int Wait(TComEvents &Events, int TimeoutMs, int StopFd, bool &Stopped) override
    {
        Events = {};
        Stopped = false;
        if (int err = Follow())
            return err;
        int timeout = TimeoutMs;
        if (FTxPending.load()) {
            const int drain = DrainMs();
            if (drain >= 0 && (timeout < 0 || drain < timeout))
                timeout = drain;
        }
        pollfd fds[3] = {{FStop, POLLIN, 0}, {FEpoll, POLLIN, 0}, {StopFd, POLLIN, 0}};
        const int r = ::poll(fds, StopFd >= 0 ? 3 : 2, timeout);
        if (r < 0)
            return errno == EINTR ? 0 : errno;
        if (fds[0].revents)
            return ECANCELED; // a stop wins over pending events
        if (StopFd >= 0 && fds[2].revents) {
            Stopped = true;
            return 0;
        }
        bool device = false;
        if (fds[1].revents) {
            epoll_event got[4];
            const int n = epoll_wait(FEpoll, got, 4, 0);
            for (int i = 0; i < n; ++i) {
                if (got[i].data.u32 == TagWake) {
                    DrainEventFd(FWake);
                    if (int err = Follow())
                        return err;
                    continue;
                }
                if (got[i].events & (EPOLLHUP | EPOLLERR))
                    return EIO;
                device = true;
            }
        }
        Collect(Events, device);
        Events = Events & FActive;
        return 0;
    }

    void Stop() override { KickEventFd(FStop); }

    void Written() override
    {
        // Only a watcher of evTxEmpty needs to know; anyone else would wake for nothing.
        if (!TComEvents::FromBits(FWanted.load()).Contains(evTxEmpty))
            return;
        FTxPending.store(true);
        KickEventFd(FWake);
    }

    void Consumed() override { FRx.Consumed(); }

    void SetWatched(TComEvents Events) override
    {
        if (FWanted.exchange(Events.ToBits()) != Events.ToBits())
            KickEventFd(FWake);
    }

private:
    static bool WatchesModem(TComEvents e)
    {
        return e.Contains(evCTS) || e.Contains(evDSR) || e.Contains(evRLSD) || e.Contains(evRing);
    }

    static bool WatchesCounts(TComEvents e)
    {
        return WatchesModem(e) || e.Contains(evError) || e.Contains(evBreak);
    }

    /// Readiness the device must wake the set for; a hang-up always does.
    static quint32 DeviceInterest(TComEvents e)
    {
        quint32 interest = EPOLLET;
        if (e.Contains(evRxChar) || e.Contains(evRx80Full))
            interest |= EPOLLIN;
        if (e.Contains(evTxEmpty))
            interest |= EPOLLOUT;
        return interest;
    }

    /// Event thread: brings the device's interest and the counters in line with the watch.
    int Follow()
    {
        const TComEvents wanted = TComEvents::FromBits(FWanted.load());
        if (wanted.ToBits() == FActive.ToBits())
            return 0;
        const TComEvents before = FActive;
        FActive = wanted;
        if (DeviceInterest(wanted) != DeviceInterest(before)) {
            // Re-arming reports input that is already queued, so a new listener hears of it.
            epoll_event dev{DeviceInterest(wanted), {}};
            dev.data.u32 = TagDevice;
            if (epoll_ctl(FEpoll, EPOLL_CTL_MOD, FHandle, &dev) != 0)
                return errno;
        }
        if (!wanted.Contains(evTxEmpty))
            FTxPending.store(false);
        // Changes count from the moment someone listens, not from the open.
        if (FHaveCounts && WatchesCounts(wanted) && !WatchesCounts(before)) {
            serial_icounter_struct c{};
            if (Ioctl(FHandle, TIOCGICOUNT, &c) == 0)
                FBase = c;
        }
        if (WatchesModem(wanted) && !WatchesModem(before)) {
            int bits = 0;
            if (Ioctl(FHandle, TIOCMGET, &bits) == 0)
                FLines = bits;
            FModemChanged.store(false);
            if (!FModem.joinable())
                StartModemWatch();
        }
        return 0;
    }

    /// Queued output time at the line rate, plus slack for the driver: a driver may not wake
    /// the set for its last byte.
    int DrainMs()
    {
        int queued = 0;
        if (Ioctl(FHandle, TIOCOUTQ, &queued) != 0) {
            FTxPending.store(false); // no way to tell: no evTxEmpty rather than a busy loop
            return -1;
        }
        if (queued <= 0)
            return 0;
        const qint64 ms = qint64(queued) * 10 * 1000 / std::max(FSetup.BaudRate, 1);
        return int(std::min<qint64>(ms + 5, 60000));
    }

    void Collect(TComEvents &Events, bool Device)
    {
        if (Device && (FActive.Contains(evRxChar) || FActive.Contains(evRx80Full))) {
            int count = 0;
            if (Ioctl(FHandle, FIONREAD, &count) == 0)
                FRx.Look(count, FSetup.RxFullCount, Events);
        }
        if (FTxPending.load()) {
            int queued = 0;
            if (Ioctl(FHandle, TIOCOUTQ, &queued) == 0 && queued == 0) {
                FTxPending.store(false);
                Events.Include(evTxEmpty);
            }
        }
        if (!WatchesCounts(FActive))
            return;
        if (FHaveCounts) {
            serial_icounter_struct c{};
            if (Ioctl(FHandle, TIOCGICOUNT, &c) == 0) {
                if (c.frame != FBase.frame || c.overrun != FBase.overrun
                    || c.parity != FBase.parity || c.buf_overrun != FBase.buf_overrun)
                    Events.Include(evError);
                if (c.brk != FBase.brk)
                    Events.Include(evBreak);
                if (c.cts != FBase.cts)
                    Events.Include(evCTS);
                if (c.dsr != FBase.dsr)
                    Events.Include(evDSR);
                if (c.dcd != FBase.dcd)
                    Events.Include(evRLSD);
                if (c.rng != FBase.rng)
                    Events.Include(evRing);
                FBase = c;
            }
        } else if (FModemChanged.exchange(false)) {
            int bits = 0;
            if (Ioctl(FHandle, TIOCMGET, &bits) == 0) {
                const int changed = bits ^ FLines;
                if (changed & TIOCM_CTS)
                    Events.Include(evCTS);
                if (changed & TIOCM_DSR)
                    Events.Include(evDSR);
                if (changed & TIOCM_CAR)
                    Events.Include(evRLSD);
                if ((changed & TIOCM_RNG) && !(bits & TIOCM_RNG))
                    Events.Include(evRing); // the end of a ring, as the counters count it
                FLines = bits;
            }
        }
    }

    // TIOCMIWAIT blocks without a way to add descriptors, so a helper thread sleeps in it
    // and wakes the set; a signal ends it when the port closes.
    void StartModemWatch()
    {
        InstallWakeSignal();
        FModem = std::thread([this] {
            const int lines = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG;
            while (!FModemStop.load()) {
                if (ioctl(FHandle, TIOCMIWAIT, lines) == 0) {
                    if (!WatchesModem(TComEvents::FromBits(FWanted.load())))
                        continue; // nobody listens to the lines any more
                    FModemChanged.store(true);
                    KickEventFd(FWake);
                } else if (errno != EINTR) {
                    break; // the driver cannot tell line changes, or the device has gone
                }
            }
            std::lock_guard guard(FModemLock);
            FModemDone = true;
            FModemCond.notify_all();
        });
    }

    void StopModemWatch()
    {
        if (!FModem.joinable())
            return;
        FModemStop.store(true);
        std::unique_lock lock(FModemLock);
        // The signal may land just before the helper enters the wait: repeat until it is out.
        while (!FModemDone) {
            pthread_kill(FModem.native_handle(), WakeSignal());
            FModemCond.wait_for(lock, std::chrono::milliseconds(20));
        }
        lock.unlock();
        FModem.join();
    }

    const int FHandle;
    const TEventSetup FSetup;
    std::atomic<quint16> FWanted; ///< what listeners ask for, set from any thread
    TComEvents FActive;           ///< what the set waits for now; event thread only
    int FEpoll = -1, FStop = -1, FWake = -1;
    std::atomic<bool> FTxPending{false};
    TRxQueueEvents FRx;
    bool FHaveCounts = false;
    serial_icounter_struct FBase{};
    int FLines = 0;

    std::thread FModem;
    std::atomic<bool> FModemStop{false};
    std::atomic<bool> FModemChanged{false};
    std::mutex FModemLock;
    std::condition_variable FModemCond;
    bool FModemDone = false;
};

} // namespace

std::unique_ptr<TComEventSource> CreateUnixEventSource(int Handle, const TEventSetup &Setup, int &Err)
{
    auto source = std::make_unique<TUnixEventSource>(Handle, Setup);
    Err = source->Start();
    if (Err != 0)
        source.reset();
    return source;
}
