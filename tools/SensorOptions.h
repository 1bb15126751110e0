#pragma once
// How the simulated sensor behaves: its identity and the faults it can be told to show.

#include <QtGlobal>

struct TSensorOptions {
    quint16 DeviceType = 0x5451;
    quint16 Firmware = 0x0103;
    bool Pace = false;           ///< requests and replies take their 9600 8N1 line time (1 ms a byte)
    int ProcessingDelayMs = 0;   ///< pause between a whole request and its reply
    int NakCommand = -1;         ///< command code answered with NAK (-1: none)
    int IgnoredCommand = -1;     ///< command code never answered, the others are (-1: none)
    int SlowCommand = -1;        ///< command code answered after SlowCommandMs instead (-1: none)
    int SlowCommandMs = 0;       ///< its pause, also past the configurator's time-out: a late reply
    int SilentAfter = -1;        ///< replies sent before the sensor falls silent (-1: never)
    int GarbageBytes = 0;        ///< stray bytes sent before every reply
    int FragmentBytes = 0;       ///< replies go out in pieces of this size (0: whole)
    int FragmentGapMs = 0;       ///< pause between the pieces
    bool SaveConfError = false;  ///< SAVE_CONF reports an internal error
    bool Clamp = false;          ///< written values are held to the sensor's own limits
};
