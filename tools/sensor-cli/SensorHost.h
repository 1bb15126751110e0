#pragma once
// The protocol's host for one port of tq-sensor, without widgets: the port at the window's line
// settings, the time-out timer, the seven fields as texts, and the error boxes as lines on
// standard error, and the sensor context its commands run in. It lives on the thread that runs
// them.

#include "protocol/Connection.h"
#include "protocol/SensorContext.h"
#include "protocol/Timer.h"
#include "serial/ComOpenFailure.h"
#include "serial/ComPort.h"
#include "tools/sensor-cli/SensorFields.h"

#include <QStringList>

class TConsole;

class TSensorHost : public TConnectionHost {
public:
    TSensorHost(const QString &port, TConsole &console);
    ~TSensorHost() override;

    TCustomComPort &ComPort() override { return FComPort; }
    TTimer &TimeoutTimer() override { return FTimer; }
    QString FieldText(TDeviceField field) const override { return FFields[field]; }
    void SetFieldText(TDeviceField field, const QString &text) override { FFields[field] = text; }
    void ErrorBox(const QString &text, const QString &caption) override;
    QString ChosenPort() const override { return FPort; }
    void SetDeviceControlsEnabled(bool) override {}
    void SetWaitCursor(bool) override {}
    void DeviceIdentified(quint16 Type, quint16 Firmware) override;
    void OpenFailedBox(const QString &Text, const QString &Caption, int Error) override;

    TSensorContext &Context() { return FContext; }
    const QString &Port() const { return FPort; }
    TConsole &Console() { return FConsole; }
    TFieldTexts &Fields() { return FFields; }
    /// The port opened at least once (a failed connection then failed at the sensor).
    bool Opened() const { return FOpened; }
    /// The errno of the last open that failed, -1 when unknown.
    int OpenError() const { return FOpenError; }
    bool Identified() const { return FIdentified; }
    quint16 DeviceType() const { return FDeviceType; }
    quint16 Firmware() const { return FFirmware; }
    /// Why the port did not open, as the system showed it when it failed.
    const TComOpenFailure &OpenFailure() const { return FOpenFailure; }
    /// Every message shown so far, in order.
    const QStringList &Messages() const { return FMessages; }

private:
    const QString FPort;
    TConsole &FConsole;
    TComPort FComPort;
    TTimer FTimer;
    TFieldTexts FFields;
    TSensorContext FContext{*this}; ///< after the port and the timer it binds
    QStringList FMessages;
    TComOpenFailure FOpenFailure;
    bool FOpened = false;
    int FOpenError = -1;
    bool FIdentified = false;
    quint16 FDeviceType = 0;
    quint16 FFirmware = 0;
};
