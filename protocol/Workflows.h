#pragma once
// The command sequences of the device workflows, each run inside one connection (between
// ConnectDevice and DisconnectDevice) on the context's fields. Every command runs whatever the one
// before it returned and reports its own failure. The result is that of the first command that
// failed, 0 when all succeeded; the window ignores it, other hosts count failures with it.

class TSensorContext;

/// Reads the five parameters and both calibration results into the fields.
int ReadSensorCommands(TSensorContext &context);

/// Writes the five parameters and makes the sensor store them (SAVE_CONF, also after a
/// refused write: the sensor keeps what it did take).
int WriteSensorCommands(TSensorContext &context);

/// Writes the calibration inertia and averaging time, then runs the switched-on (`on`) or
/// switched-off calibration; its wait follows the averaging time the sensor reported back.
int CalibrateSensorCommands(TSensorContext &context, bool on);
