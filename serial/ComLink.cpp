#include "serial/ComLink.h"

#include <iterator>

namespace {
// Mask bit of each event, in event order.
constexpr quint32 EventBits[] = {0x0001, 0x0004, 0x0002, 0x0100, 0x0040,
                                 0x0008, 0x0010, 0x0080, 0x0020, 0x0400};
} // namespace

quint32 EventsToMask(TComEvents Events)
{
    quint32 mask = 0;
    for (int e = 0; e < int(std::size(EventBits)); ++e)
        if (Events.Contains(TComEvent(e)))
            mask |= EventBits[e];
    return mask;
}

TComEvents MaskToEvents(quint32 Mask)
{
    TComEvents events;
    for (int e = 0; e < int(std::size(EventBits)); ++e)
        if (Mask & EventBits[e])
            events.Include(TComEvent(e));
    return events;
}
