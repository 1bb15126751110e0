// Background progress of asynchronous operations.

#include "serial/ComAsyncQueue_p.h"

#include "serial/ComBackend.h"

#include <algorithm>
#include <climits>
#include <mutex>

namespace {

int PollMs(qint64 Ms) { return Ms < 0 ? -1 : int(std::min<qint64>(Ms, INT_MAX)); }

} // namespace

TComAsyncQueue::TComAsyncQueue(TComBackend &Backend, int Handle, bool ForRead,
                               std::unique_ptr<TComWakeup> Wakeup, std::function<void()> Moved)
    : FBackend(Backend), FHandle(Handle), FForRead(ForRead), FWakeup(std::move(Wakeup)),
      FMoved(std::move(Moved))
{
}

TComAsyncQueue::~TComAsyncQueue()
{
    CancelAll();
    {
        std::lock_guard guard(FLock->Mutex);
        FStopping = true;
        FWork.notify_all();
    }
    if (FWorker.joinable())
        FWorker.join();
}

bool TComAsyncQueue::Start(TAsync &A)
{
    std::unique_lock lock(FLock->Mutex);
    A.Queue = nullptr;
    A.Cancelled = false;
    A.Completed = false;
    // Nothing ahead of it: the first step runs here, so an operation that can end at once
    // (a read of what is queued, a write the driver takes whole) never leaves this thread.
    if (FOps.empty() && Advance(A, false)) {
        A.Completed = true;
        // No other thread ever saw it: waiting for it or forgetting it needs no lock.
        A.Lock.reset();
        return true;
    }
    // The record's owner is the only other reader of Lock, and it is here.
    A.Lock = FLock;
    A.Queue = this;
    FOps.push_back(&A);
    if (!FWorker.joinable())
        FWorker = std::thread([this] { Run(); });
    FWork.notify_all();
    return false;
}

void TComAsyncQueue::Run()
{
    std::unique_lock lock(FLock->Mutex);
    for (;;) {
        FWork.wait(lock, [&] { return FStopping || !FOps.empty(); });
        if (FOps.empty())
            return;
        TAsync &a = *FOps.front();
        if (FAbort || a.Cancelled) {
            Complete(a);
            continue;
        }
        FActive = &a;
        lock.unlock();
        const bool ended = Advance(a, true);
        lock.lock();
        FActive = nullptr;
        FWakeup->Reset(); // every request is looked at below, under the lock it was made in
        if (ended || FAbort || a.Cancelled)
            Complete(a);
    }
}

bool TComAsyncQueue::Advance(TAsync &a, bool BlockOnDevice)
{
    const TAsyncLimits &d = a.Limits;
    for (;;) {
        if (a.Done < a.Count) {
            int n = 0;
            const int err = FForRead
                                ? FBackend.Read(FHandle, a.Buffer + a.Done, a.Count - a.Done, n)
                                : FBackend.Write(FHandle, a.Data + a.Done, a.Count - a.Done, n);
            if (err != 0) {
                // Bytes already moved are handed over; the device reports its failure again
                // to the next call.
                if (a.Done == 0)
                    a.Error = err;
                return true;
            }
            if (n > 0) {
                a.Done += n;
                if (d.Interval >= 0)
                    a.LastByteMs = a.Started.elapsed();
                FMoved();
            }
        }
        if (a.Done >= a.Count || d.Immediate || (d.FirstByte && a.Done > 0))
            return true;
        const qint64 now = a.Started.elapsed();
        qint64 left = -1;
        if (d.Total >= 0) {
            if (now >= d.Total)
                return true;
            left = d.Total - now;
        }
        if (d.Interval >= 0 && a.Done > 0) {
            const qint64 gap = a.LastByteMs + d.Interval - now;
            if (gap <= 0)
                return true;
            left = left < 0 ? gap : std::min(left, gap);
        }
        if (!BlockOnDevice)
            return false;
        bool ready = false, stopped = false;
        if (int err = FBackend.Wait(FHandle, FForRead, PollMs(left), FWakeup->Fd(), ready,
                                    stopped)) {
            if (a.Done == 0)
                a.Error = err;
            return true;
        }
        if (stopped)
            return false;
    }
}

void TComAsyncQueue::Complete(TAsync &A)
{
    FOps.erase(std::remove(FOps.begin(), FOps.end(), &A), FOps.end());
    A.Queue = nullptr;
    A.Completed = true;
    FLock->Ended.notify_all();
}

void TComAsyncQueue::Cancel(TAsync &A, std::unique_lock<std::mutex> &Lock)
{
    if (&A != FActive) {
        Complete(A);
        return;
    }
    A.Cancelled = true;
    FWakeup->Set();
    FLock->Ended.wait(Lock, [&] { return A.Completed; });
}

void TComAsyncQueue::CancelAll()
{
    std::unique_lock lock(FLock->Mutex);
    FAbort = true;
    while (!FOps.empty())
        Cancel(*FOps.back(), lock);
    FAbort = false;
}

// A record that never ran has no lock, and nothing can change it.

void TComAsyncQueue::WaitFinished(TAsync &A)
{
    const std::shared_ptr<TComAsyncLock> l = A.Lock;
    if (!l)
        return;
    std::unique_lock lock(l->Mutex);
    l->Ended.wait(lock, [&] { return A.Completed; });
}

bool TComAsyncQueue::Finished(const TAsync &A)
{
    const std::shared_ptr<TComAsyncLock> l = A.Lock;
    if (!l)
        return A.Completed;
    std::lock_guard guard(l->Mutex);
    return A.Completed;
}

void TComAsyncQueue::Forget(TAsync &A)
{
    const std::shared_ptr<TComAsyncLock> l = A.Lock;
    if (!l)
        return;
    // A queue holds this lock while it ends its operations on the way out, so a Queue seen
    // under it is still there.
    std::unique_lock lock(l->Mutex);
    if (A.Queue)
        A.Queue->Cancel(A, lock);
}
