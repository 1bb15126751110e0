#pragma once
// One connection to the sensor around every device workflow: lock the window's device
// controls, open the chosen port at 9600 baud, switch the sensor's communication mode on and
// make sure a supported sensor answers; afterwards switch the mode off, close the port and
// unlock the window. The port is open only during a connection, so its Connected state is the
// window's busy state.

#include "protocol/DeviceHost.h"

#include <QString>

class TCustomComPort;
class TSensorContext;

/// The device type this configurator supports (the ID reply's first value).
constexpr quint16 SupportedDeviceType = 0x5451;

/// Results of ConnectDevice.
constexpr int ConnectOk = 0;           ///< port open, supported sensor answered; controls locked
constexpr int ConnectFailed = -1;      ///< the port did not open, or the sensor did not answer PING
constexpr int ConnectUnsupported = -2; ///< the sensor is of another type, or ID failed

/// What a connection needs from the main window besides the protocol's view of it.
class TConnectionHost : public TDeviceHost {
public:
    /// The port name the user chose (the port combo's text).
    virtual QString ChosenPort() const = 0;
    /// Switches the transfer buttons and both parameter groups.
    virtual void SetDeviceControlsEnabled(bool Enabled) = 0;
    /// Shows or hides the application-wide wait cursor.
    virtual void SetWaitCursor(bool Wait) = 0;
    /// The error box of a port that did not open: Text and Caption as given, and below them
    /// why, for the errno Error (-1 when unknown), and what the user can do. Hosts without a
    /// window show the plain box.
    virtual void OpenFailedBox(const QString &Text, const QString &Caption, int Error)
    {
        Q_UNUSED(Error)
        ErrorBox(Text, Caption);
    }
    /// The sensor answered ID with this device type and firmware version (before the type is
    /// checked). The window does not show them.
    virtual void DeviceIdentified(quint16 Type, quint16 Firmware) { Q_UNUSED(Type) Q_UNUSED(Firmware) }
};

/// Gives a new port object the line settings the sensor's line is designed for: 9600 baud,
/// 8 data bits, no parity, one stop bit, no flow control, every line event watched. Stored
/// settings loaded afterwards may replace them; ConnectDevice always sets 9600 baud.
void SetSensorLine(TCustomComPort &Port);

/// Call only while not connected, with a context made from a TConnectionHost. Every failure
/// is shown in its own box and returns to idle (port closed, controls unlocked) before it
/// returns. An EComPort of a vanishing line during the handshake propagates with the
/// connection still open: end it with DisconnectDevice.
int ConnectDevice(TSensorContext &Context);

/// Ends a connection in any state, also twice. The port is closed and the controls unlocked
/// even when switching the communication mode off fails; that failure is raised afterwards.
void DisconnectDevice(TSensorContext &Context);
