#pragma once
// What the sensor protocol needs from its host (the main window, a tq-sensor port, a test): the
// serial port, the time-out timer, the seven parameter fields and the error box. The protocol
// reaches it through a sensor context (SensorContext.h).

#include <QString>

class TCustomComPort;
class TTimer;

/// The parameter fields, named after their edit boxes (txtInertWork, ...).
enum TDeviceField {
    dfInertWork,  ///< txtInertWork
    dfInpFlt,     ///< txtInpFlt
    dfHystWidth,  ///< txtHystWidth
    dfInertCalib, ///< txtInertCalib
    dfCalTime,    ///< txtCalTime
    dfCalOn,      ///< txtCalOn
    dfCalOff,     ///< txtCalOff
};

class TDeviceHost {
public:
    virtual ~TDeviceHost() = default;

    /// The open port the sensor is connected to (cpCOM).
    virtual TCustomComPort &ComPort() = 0;
    /// The transaction time-out (tmrTimeout). Its sensor context handles its ticks.
    virtual TTimer &TimeoutTimer() = 0;

    virtual QString FieldText(TDeviceField field) const = 0;
    virtual void SetFieldText(TDeviceField field, const QString &text) = 0;

    /// A modal box owned by the main window, with the error icon and one OK button; returns
    /// once the user has dismissed it (the event loop keeps running meanwhile).
    virtual void ErrorBox(const QString &text, const QString &caption) = 0;
};
