#pragma once
// The record of one asynchronous read or write.
//
// An operation moves what it can when it starts; what is left goes on in the background,
// within the timeouts the port had at the start, until it ends by itself, by AbortAllAsync
// or by Close. WaitForAsync waits for that end, IsAsyncCompleted only looks. Operations of
// one direction run one after the other, in the order they were started. The record
// belongs to whoever called InitAsync, and is used by one thread at a time.

#include "serial/ComTypes.h"

#include <QElapsedTimer>
#include <memory>

class TComAsyncQueue;
struct TComAsyncLock;

/// How long an operation may take, fixed when it starts.
struct TAsyncLimits {
    bool Immediate = false;   ///< return with what is queued, even nothing
    bool FirstByte = false;   ///< return as soon as anything is there
    qint64 Total = -1;        ///< ms after the start, -1: none
    qint64 Interval = -1;     ///< ms between bytes, -1: none
};

struct TAsync {
    TOperationKind Kind = okWrite;
    /// Private copy of the bytes of the last write (null for none); the write sends from it.
    char *Data = nullptr;
    int Size = 0;

    // Completion state, guarded by Lock. While the operation is pending only its queue
    // touches these.
    std::shared_ptr<TComAsyncLock> Lock; ///< of the queue it last ran in; outlives that port
    TComAsyncQueue *Queue = nullptr; ///< where a pending operation waits, null once completed
    char *Buffer = nullptr;         ///< read destination
    int Count = 0;                  ///< bytes asked for
    int Done = 0;                   ///< bytes moved so far
    int Error = 0;                  ///< failure that ended the operation, 0 for none
    bool Completed = true;          ///< a fresh record waits for nothing
    bool Cancelled = false;         ///< asked to end early
    TAsyncLimits Limits;
    QElapsedTimer Started;          ///< start of the operation
    qint64 LastByteMs = -1;         ///< time of the last received byte, for the interval timeout
};
using PAsync = TAsync *;

/// Creates a record and stores its address in AsyncPtr.
void InitAsync(PAsync &AsyncPtr);
/// Releases the record (ending its operation first if one is still pending); AsyncPtr becomes null.
void DoneAsync(PAsync &AsyncPtr);
