#pragma once
// What the sensor protocol needs from the main window: the serial port, the time-out timer,
// the seven parameter fields and the error box. The main window implements this interface and
// points frmMain at itself before any command runs; tests bring their own implementation.

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
    /// The transaction time-out (tmrTimeout). Its OnTimer must call tmrTimeoutTimer.
    virtual TTimer &TimeoutTimer() = 0;

    virtual QString FieldText(TDeviceField field) const = 0;
    virtual void SetFieldText(TDeviceField field, const QString &text) = 0;

    /// A modal box owned by the main window, with the error icon and one OK button; returns
    /// once the user has dismissed it (the event loop keeps running meanwhile).
    virtual void ErrorBox(const QString &text, const QString &caption) = 0;
};

/// The main window, as the protocol sees it. Null until the window exists. One per thread, so
/// that several hosts (one port each, on their own threads) can talk to sensors at once.
extern thread_local TDeviceHost *frmMain;
