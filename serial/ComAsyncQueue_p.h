#pragma once
// Internal: the operations of one direction (reads or writes) of one open port. The first
// step of an operation runs on the caller's thread; what is left, a worker thread carries
// on, one operation after the other, waking on the device or on a cancel.

#include "serial/ComAsync.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <memory>
#include <thread>

class TComBackend;
class TComWakeup;

/// The lock of one queue, and the end of its operations. Records keep it, so that a record
/// can be waited for and released after its port is gone. Held only around bookkeeping and
/// the device's non-blocking calls, never across a wait for the device.
struct TComAsyncLock {
    std::mutex Mutex;
    std::condition_variable Ended;
};

class TComAsyncQueue {
public:
    /// Moved runs (on any thread) whenever bytes have gone out or come in.
    TComAsyncQueue(TComBackend &Backend, int Handle, bool ForRead,
                   std::unique_ptr<TComWakeup> Wakeup, std::function<void()> Moved);
    /// Ends every operation (with what it moved) and the worker.
    ~TComAsyncQueue();
    TComAsyncQueue(const TComAsyncQueue &) = delete;
    TComAsyncQueue &operator=(const TComAsyncQueue &) = delete;

    /// Starts A, set up by the caller. True when it ended at once.
    bool Start(TAsync &A);
    /// Ends every operation of this queue with what it moved so far; returns once they have.
    void CancelAll();

    /// Waits until A has ended.
    static void WaitFinished(TAsync &A);
    static bool Finished(const TAsync &A);
    /// Ends A if it is pending anywhere and waits until it has.
    static void Forget(TAsync &A);

private:
    void Run();
    /// Moves bytes until A ends (true). Without BlockOnDevice it returns false as soon as it
    /// would have to wait for the device; with it, it waits, and returns false only when
    /// the wake-up is set.
    bool Advance(TAsync &A, bool BlockOnDevice);
    void Complete(TAsync &A);
    void Cancel(TAsync &A, std::unique_lock<std::mutex> &Lock);

    const std::shared_ptr<TComAsyncLock> FLock = std::make_shared<TComAsyncLock>();
    TComBackend &FBackend;
    const int FHandle;
    const bool FForRead;
    const std::unique_ptr<TComWakeup> FWakeup;
    const std::function<void()> FMoved;
    std::deque<TAsync *> FOps;      ///< pending, in start order
    TAsync *FActive = nullptr;      ///< the one the worker moves bytes for, outside the lock
    bool FAbort = false;
    bool FStopping = false;
    std::condition_variable FWork;
    std::thread FWorker;
};
