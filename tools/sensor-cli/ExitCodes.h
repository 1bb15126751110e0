#pragma once
// The exit statuses of tq-sensor, one per kind of failure (documented in its usage text).

enum TExitCode : int {
    ExitOk = 0,          ///< every port succeeded
    ExitCommand = 1,     ///< a command timed out, was refused (NAK) or failed in the sensor
    ExitUsage = 2,       ///< the command line or a value on it is wrong
    ExitNoPort = 3,      ///< a port is missing, busy, cannot be opened or was lost while connecting
    ExitNoSensor = 4,    ///< nothing answered PING (find: no sensor on any port)
    ExitWrongType = 5,   ///< the device is of another type, or ID failed
    ExitFile = 6,        ///< a settings file could not be read or written
    ExitDifferent = 7,   ///< --verify found a value the sensor holds differently
    ExitTrace = 8,       ///< the trace could not be written in full
};
