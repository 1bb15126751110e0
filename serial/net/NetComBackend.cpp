// The device layer of network lines: the handle of an open port is its socket.
//
// What a network line has no equivalent for answers EOPNOTSUPP, which the port takes as "not
// supported by the device": on tcp:// every line control; on both, suspending our own output.

#include "serial/ComBackend.h"
#include "serial/net/NetBackend.h"
#include "serial/net/NetEventSource.h"
#include "serial/net/NetLink.h"
#include "serial/unix/EventFdWakeup.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <unistd.h>

namespace {

class TNetComBackend final : public TComBackend {
public:
    int Open(const QByteArray &Path, int &Handle) override
    {
        Handle = -1;
        const QString port = QString::fromUtf8(Path);
        TNetPortName name;
        if (!ParseNetPortName(port, name))
            return EINVAL;
        std::unique_ptr<TNetLink> link;
        QString said;
        if (int err = TNetLink::Connect(name, link, said)) {
            NoteNetServerText(port, said);
            return err;
        }
        Handle = link->Socket();
        std::lock_guard guard(FLock);
        FLinks[Handle] = std::shared_ptr<TNetLink>(std::move(link));
        return 0;
    }

    int Close(int Handle) override
    {
        std::shared_ptr<TNetLink> link;
        {
            std::lock_guard guard(FLock);
            auto it = FLinks.find(Handle);
            if (it == FLinks.end())
                return EBADF;
            link = std::move(it->second);
            FLinks.erase(it);
        }
        return 0; // the last holder closes the socket
    }

    int Apply(int Handle, const TLineSettings &S) override
    {
        return With(Handle, [&](TNetLink &l) { return l.Apply(S); });
    }
    int Read(int Handle, void *Buffer, int Count, int &Done) override
    {
        Done = 0;
        return With(Handle, [&](TNetLink &l) { return l.Read(Buffer, Count, Done); });
    }
    int Write(int Handle, const void *Buffer, int Count, int &Done) override
    {
        Done = 0;
        return With(Handle, [&](TNetLink &l) { return l.Write(Buffer, Count, Done); });
    }
    int Wait(int Handle, bool ForRead, int TimeoutMs, int StopFd, bool &Ready, bool &Stopped) override
    {
        Ready = Stopped = false;
        return With(Handle, [&](TNetLink &l) { return l.Wait(ForRead, TimeoutMs, StopFd, Ready, Stopped); });
    }
    int InputCount(int Handle, int &Count) override
    {
        Count = 0;
        return With(Handle, [&](TNetLink &l) { return l.InputCount(Count); });
    }
    int OutputCount(int Handle, int &Count) override
    {
        Count = 0;
        return With(Handle, [&](TNetLink &l) { return l.OutputCount(Count); });
    }
    int Purge(int Handle, bool Input, bool Output) override
    {
        return With(Handle, [&](TNetLink &l) { return l.Purge(Input, Output); });
    }

    int ModemLines(int Handle, TComSignals &Lines) override
    {
        Lines = {};
        return With(Handle, [&](TNetLink &l) {
            if (!l.Rfc2217())
                return EOPNOTSUPP;
            using namespace comport;
            const quint8 s = l.State().ModemState;
            if (s & MsCts)
                Lines.Include(csCTS);
            if (s & MsDsr)
                Lines.Include(csDSR);
            if (s & MsRi)
                Lines.Include(csRing);
            if (s & MsDcd)
                Lines.Include(csRLSD);
            return 0;
        });
    }
    int SetLine(int Handle, TModemLine Line, bool OnOff) override
    {
        using namespace comport;
        return Control(Handle, Line == mlDTR ? (OnOff ? DtrOn : DtrOff) : (OnOff ? RtsOn : RtsOff));
    }
    int SetBreak(int Handle, bool OnOff) override
    {
        return Control(Handle, OnOff ? comport::BreakOn : comport::BreakOff);
    }
    int SetFlow(int Handle, bool) override
    {
        return With(Handle, [](TNetLink &) { return EOPNOTSUPP; });
    }
    int TransmitChar(int Handle, quint8 Ch) override
    {
        int done = 0;
        if (int err = Write(Handle, &Ch, 1, done))
            return err;
        return done == 1 ? 0 : EAGAIN;
    }
    int ErrorCounts(int Handle, TLineErrorCounts &Counts) override
    {
        return With(Handle, [&](TNetLink &l) {
            if (!l.Rfc2217())
                return EOPNOTSUPP;
            const TComPortState s = l.State();
            Counts.Frame = s.Frames;
            Counts.Parity = s.Parities;
            Counts.Overrun = s.Overruns;
            Counts.Break = s.Breaks;
            Counts.BufferOverrun = 0;
            return 0;
        });
    }

    std::unique_ptr<TComEventSource> CreateEventSource(int Handle, const TEventSetup &Setup, int &Err) override
    {
        std::shared_ptr<TNetLink> link = Find(Handle);
        if (!link) {
            Err = EBADF;
            return nullptr;
        }
        return CreateNetEventSource(std::move(link), Setup, Err);
    }

    std::unique_ptr<TComWakeup> CreateWakeup(int &Err) override { return CreateEventFdWakeup(Err); }

    int InputReadyFd(int Handle) override
    {
        std::shared_ptr<TNetLink> link = Find(Handle);
        return link ? link->ReadyFd() : -1;
    }

    int Reason(TComReason Reason) const override
    {
        switch (Reason) {
        case rsBadArgument: return EINVAL;
        case rsNotOpen: return EBADF;
        case rsNoWatch: return EIO;
        }
        return EIO;
    }

    bool IsUnsupportedByDevice(int Err) const override { return Err == EOPNOTSUPP; }

private:
    std::shared_ptr<TNetLink> Find(int Handle)
    {
        std::lock_guard guard(FLock);
        auto it = FLinks.find(Handle);
        return it == FLinks.end() ? nullptr : it->second;
    }

    template <typename F>
    int With(int Handle, F &&Do)
    {
        std::shared_ptr<TNetLink> link = Find(Handle);
        return link ? Do(*link) : EBADF;
    }

    int Control(int Handle, quint8 Value)
    {
        return With(Handle, [&](TNetLink &l) { return l.Rfc2217() ? l.Control(Value) : EOPNOTSUPP; });
    }

    std::mutex FLock;
    std::map<int, std::shared_ptr<TNetLink>> FLinks;
};

} // namespace

std::shared_ptr<TComBackend> CreateNetComBackend()
{
    return std::make_shared<TNetComBackend>();
}
