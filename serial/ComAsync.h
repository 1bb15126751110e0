#pragma once
// The record of one asynchronous read or write.
//
// Terminals have no overlapped I/O here: an operation moves what it can when it starts and
// is driven to its end (by its timeouts) in WaitForAsync, or a step further by each
// IsAsyncCompleted. The record belongs to whoever called InitAsync.

#include "serial/ComTypes.h"

#include <QElapsedTimer>

class TCustomComPort;

struct TAsync {
    TOperationKind Kind = okWrite;
    /// Private copy of the bytes of the last write (null for none); the write sends from it.
    char *Data = nullptr;
    int Size = 0;

    // Completion state of the operation in flight.
    TCustomComPort *Port = nullptr; ///< port of a pending operation, null once completed
    char *Buffer = nullptr;         ///< read destination
    int Count = 0;                  ///< bytes asked for
    int Done = 0;                   ///< bytes moved so far
    int Error = 0;                  ///< errno that ended the operation, 0 for none
    bool Completed = true;          ///< a fresh record waits for nothing
    QElapsedTimer Started;          ///< start of the operation
    qint64 LastByteMs = -1;         ///< time of the last received byte, for the interval timeout
};
using PAsync = TAsync *;

/// Creates a record and stores its address in AsyncPtr.
void InitAsync(PAsync &AsyncPtr);
/// Releases the record (ending its operation first if one is still pending); AsyncPtr becomes null.
void DoneAsync(PAsync &AsyncPtr);
