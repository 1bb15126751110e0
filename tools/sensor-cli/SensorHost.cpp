#include "tools/sensor-cli/SensorHost.h"

#include "protocol/Exchange.h"
#include "tools/sensor-cli/Console.h"

TSensorHost::TSensorHost(const QString &port, TConsole &console) : FPort(port), FConsole(console)
{
    SetSensorLine(FComPort);
    FComPort.OnAfterOpen = [this](QObject *) { FOpened = true; };
}

TSensorHost::~TSensorHost()
{
    try {
        FComPort.Close();
    } catch (...) {
        // The line is gone already; nothing is left to release.
    }
}

void TSensorHost::ErrorBox(const QString &text, const QString &)
{
    FMessages << text;
    FConsole.Message(FPort, text);
}

void TSensorHost::DeviceIdentified(quint16 Type, quint16 Firmware)
{
    FIdentified = true;
    FDeviceType = Type;
    FFirmware = Firmware;
}

void TSensorHost::OpenFailedBox(const QString &Text, const QString &Caption, int Error)
{
    // Asked at once: a second open later could find the port in another state.
    FOpenError = Error;
    FOpenFailure = DiagnoseOpenFailure(FPort, Error);
    ErrorBox(Text, Caption);
}
