#pragma once
// Internal: the receive events of a source that looks at the size of its input queue after a
// wake-up, instead of being told of each arrival.

#include "serial/ComTypes.h"

#include <atomic>

class TRxQueueEvents {
public:
    /// The port has taken input away (TComEventSource::Consumed). Any thread.
    void Consumed() { FReads.fetch_add(1); }

    /// Adds evRxChar when `Count` bytes wait that were not there at the last look (more of
    /// them, or the port has read since), and evRx80Full when they reach `RxFullCount` anew.
    void Look(int Count, int RxFullCount, TComEvents &Events)
    {
        const quint32 reads = FReads.load();
        const bool fresh = reads != FLastReads;
        if (Count > 0 && (Count > FLastCount || fresh)) {
            Events.Include(evRxChar);
            if (RxFullCount > 0 && Count >= RxFullCount && (FLastCount < RxFullCount || fresh))
                Events.Include(evRx80Full);
        }
        FLastCount = Count;
        FLastReads = reads;
    }

private:
    std::atomic<quint32> FReads{0};
    int FLastCount = 0;      ///< the wait's thread only
    quint32 FLastReads = 0;  ///< the wait's thread only
};
