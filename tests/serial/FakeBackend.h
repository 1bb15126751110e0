#pragma once
// A device double: an open "device" with settable modem lines and error counters.

#include "serial/ComBackend.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>

/// Line events a test raises by hand; the port's event source hands them out in order.
struct FakeEventQueue {
    std::mutex Lock;
    std::condition_variable Cond;
    std::deque<TComEvents> Batches;
    int Sources = 0;   ///< event sources created so far
    TComEvents Watched; ///< events the last source was set up with
    TComEvents Listened; ///< what the port last asked the source to wait for

    void Push(TComEvents Events)
    {
        std::lock_guard guard(Lock);
        Batches.push_back(Events);
        Cond.notify_all();
    }
};

class FakeEventSource : public TComEventSource {
public:
    explicit FakeEventSource(FakeEventQueue &Queue) : FQueue(Queue) {}
    int Wait(TComEvents &Events, int TimeoutMs, int, bool &Stopped) override
    {
        Events = {};
        Stopped = false;
        std::unique_lock lock(FQueue.Lock);
        auto ready = [&] { return FStop || !FQueue.Batches.empty(); };
        if (TimeoutMs < 0)
            FQueue.Cond.wait(lock, ready);
        else
            FQueue.Cond.wait_for(lock, std::chrono::milliseconds(TimeoutMs), ready);
        if (FStop)
            return ECANCELED;
        if (!FQueue.Batches.empty()) {
            Events = FQueue.Batches.front();
            FQueue.Batches.pop_front();
        }
        return 0;
    }
    void Stop() override
    {
        std::lock_guard guard(FQueue.Lock);
        FStop = true;
        FQueue.Cond.notify_all();
    }
    void Written() override {}
    void Consumed() override {}
    void SetWatched(TComEvents Events) override
    {
        std::lock_guard guard(FQueue.Lock);
        FQueue.Listened = Events;
    }

private:
    FakeEventQueue &FQueue;
    bool FStop = false;
};

class FakeBackend : public TComBackend {
public:
    static constexpr int FakeHandle = 1000;
    TComSignals Lines;
    int LinesError = 0;   ///< errno ModemLines fails with
    TLineErrorCounts Counts;
    int CountsError = 0;  ///< errno ErrorCounts fails with
    int Queued = 0;
    int OutQueued = 0;  ///< output count
    int ApplyError = 0; ///< errno Apply fails with
    std::atomic<int> ReadCalls{0}; ///< reads asked of the device (any thread)
    std::atomic<int> InputCountCalls{0}, ErrorCountCalls{0};
    TLineSettings Applied;
    int Applies = 0;
    FakeEventQueue EventQueue;

    int Open(const QByteArray &, int &Handle) override { Handle = FakeHandle; return 0; }
    int Close(int Handle) override { return Valid(Handle); }
    int Apply(int Handle, const TLineSettings &Settings) override
    {
        Applied = Settings;
        ++Applies;
        return Valid(Handle) ? Valid(Handle) : ApplyError;
    }
    int Read(int Handle, void *, int, int &Done) override
    {
        ++ReadCalls;
        Done = 0;
        return Valid(Handle);
    }
    int Write(int Handle, const void *, int Count, int &Done) override
    {
        Done = Count;
        return Valid(Handle);
    }
    int Wait(int, bool, int, int, bool &Ready, bool &Stopped) override
    {
        Ready = Stopped = false;
        return 0;
    }
    int InputCount(int Handle, int &Count) override
    {
        ++InputCountCalls;
        Count = Queued;
        return Valid(Handle);
    }
    int OutputCount(int Handle, int &Count) override { Count = OutQueued; return Valid(Handle); }
    int Purge(int Handle, bool, bool) override { return Valid(Handle); }
    int ModemLines(int Handle, TComSignals &Out) override
    {
        Out = Lines;
        return Handle != FakeHandle ? EBADF : LinesError;
    }
    int SetLine(int Handle, TModemLine, bool) override { return Valid(Handle); }
    int SetBreak(int Handle, bool) override { return Valid(Handle); }
    int SetFlow(int Handle, bool) override { return Valid(Handle); }
    int TransmitChar(int Handle, quint8) override { return Valid(Handle); }
    int ErrorCounts(int Handle, TLineErrorCounts &Out) override
    {
        ++ErrorCountCalls;
        Out = Counts;
        return Handle != FakeHandle ? EBADF : CountsError;
    }

    std::unique_ptr<TComEventSource> CreateEventSource(int Handle, const TEventSetup &Setup,
                                                       int &Err) override
    {
        Err = Valid(Handle);
        if (Err != 0)
            return nullptr;
        std::lock_guard guard(EventQueue.Lock);
        ++EventQueue.Sources;
        EventQueue.Watched = Setup.Events;
        return std::make_unique<FakeEventSource>(EventQueue);
    }

    std::unique_ptr<TComWakeup> CreateWakeup(int &Err) override
    {
        Err = 0;
        return std::make_unique<Wakeup>();
    }
    int Reason(TComReason Reason) const override
    {
        return Reason == rsBadArgument ? EINVAL : Reason == rsNotOpen ? EBADF : EIO;
    }
    bool IsUnsupportedByDevice(int Err) const override { return Err == ENOTTY || Err == EINVAL; }

private:
    struct Wakeup final : TComWakeup {
        int Fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        ~Wakeup() override { ::close(Fd_); }
        int Fd() const override { return Fd_; }
        void Set() override { quint64 one = 1; (void)!::write(Fd_, &one, sizeof one); }
        void Reset() override { quint64 v; while (::read(Fd_, &v, sizeof v) > 0) {} }
    };
    static int Valid(int Handle) { return Handle == FakeHandle ? 0 : EBADF; }
};
