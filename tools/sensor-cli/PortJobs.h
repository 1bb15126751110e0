#pragma once
// What tq-sensor does on one port, inside one connection, with the window's command sequences.

#include "tools/sensor-cli/ExitCodes.h"
#include "tools/sensor-cli/SensorFields.h"

#include <QStringList>

class TSensorHost;

/// A value --verify found the sensor holding differently, both in the window's text forms.
struct TDifference {
    TDeviceField Field;
    QString Sent;
    QString Held;
};

/// How one port ended.
struct TPortOutcome {
    QString Port;
    int Code = ExitOk;
    QString Status;          ///< "ok", "busy", "no sensor", "command failed", ...
    QString Detail;          ///< what was found: "type 0x5451 firmware 0x0103", a file error, ...
    TFieldTexts Values;      ///< every value known at the end, in the window's text forms
    QList<TDifference> Differences; ///< --verify
};

/// open, COMM_MODE on, PING, ID, COMM_MODE off.
TPortOutcome FindOnPort(TSensorHost &host);

/// The read workflow; with `outputFile` not empty, saves the seven values when all were read.
TPortOutcome ReadPort(TSensorHost &host, const QString &outputFile);

/// The write workflow with the five values of `values`; a writable value left empty is first
/// read from the sensor in the same connection. `verify` reads all five back afterwards.
TPortOutcome WritePort(TSensorHost &host, const TFieldTexts &values, bool verify);

/// The calibration workflow (`on`: switched-on state) with the calibration inertia and
/// averaging time of `values`; a value left empty is first read from the sensor.
TPortOutcome CalibratePort(TSensorHost &host, const TFieldTexts &values, bool on);
