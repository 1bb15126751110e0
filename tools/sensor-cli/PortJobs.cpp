#include "tools/sensor-cli/PortJobs.h"

#include "protocol/Commands.h"
#include "protocol/OpenFailureReason.h"
#include "protocol/Workflows.h"
#include "serial/ComOpenFailure.h"
#include "serial/ComPortInfo.h"
#include "serial/ComPortName.h"
#include "serial/ExceptionDisplay.h"
#include "tools/sensor-cli/Console.h"
#include "tools/sensor-cli/SensorHost.h"
#include "tools/sensor-cli/SettingsImage.h"

#include <cstring>
#include <functional>

namespace {

QString Hex4(quint16 value)
{
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0'));
}

/// Why a network port did not open, from the error of that open: asking again would be a new
/// connection to the server.
void DescribeNetOpenFailure(const QString &name, int error, TPortOutcome &out)
{
    const TComOpenFailure f = DiagnoseOpenFailure(name, error);
    out.Status = OpenFailureStatus(f);
    if (f.Reason == TComOpenFailure::ofServerBusy)
        out.Detail = f.ServerText;
    else if (f.Reason == TComOpenFailure::ofOther && error > 0)
        out.Detail = QString::fromLocal8Bit(std::strerror(error));
    if (out.Detail.isEmpty() && f.Reason != TComOpenFailure::ofOther)
        out.Detail = f.DevicePath;
}

/// The line went away while connecting: neither "no sensor" nor another type of device.
bool LineLost(TPortOutcome &out, const QString &message)
{
    out.Code = ExitNoPort;
    out.Status = QStringLiteral("line lost");
    out.Detail = message;
    return false;
}

/// ConnectDevice, and on failure what it means for the port.
bool Connect(TSensorHost &host, TPortOutcome &out)
{
    int result = ConnectFailed;
    try {
        result = ConnectDevice(host.Context());
    } catch (...) {
        const QString message = CurrentExceptionMessage();
        host.Console().Message(host.Port(), message);
        try {
            DisconnectDevice(host.Context());
        } catch (...) {
            // The same line, gone: already said.
        }
        return LineLost(out, message);
    }
    if (result == ConnectOk)
        return true;
    DisconnectDevice(host.Context()); // as the window does: the port is closed already
    if (host.Opened() && !ComDeviceExists(host.Port())) {
        // An adapter pulled during the handshake may only fall silent.
        return LineLost(out, QStringLiteral("the device is gone"));
    }
    if (result == ConnectUnsupported) {
        out.Code = ExitWrongType;
        out.Status = QStringLiteral("wrong device type");
        out.Detail = host.Identified()
            ? QStringLiteral("type %1 firmware %2").arg(Hex4(host.DeviceType()), Hex4(host.Firmware()))
            : QStringLiteral("no identification");
    } else if (!host.Opened()) {
        if (IsNetPortName(host.Port())) {
            DescribeNetOpenFailure(host.Port(), host.OpenError(), out);
        } else {
            out.Status = OpenFailureStatus(host.OpenFailure());
            out.Detail = OpenFailureReason(host.OpenFailure());
        }
        out.Code = ExitNoPort;
    } else {
        out.Code = ExitNoSensor;
        out.Status = QStringLiteral("no sensor");
    }
    return false;
}

/// One connection around `commands`, which set the outcome. An error the port raises (a line
/// that vanished) ends the connection and is shown as the window's exception display shows it.
TPortOutcome Connected(TSensorHost &host, const std::function<void(TPortOutcome &)> &commands)
{
    TPortOutcome out;
    out.Port = host.Port();
    try {
        if (Connect(host, out)) {
            out.Status = QStringLiteral("ok");
            commands(out);
            DisconnectDevice(host.Context());
        }
    } catch (...) {
        QString message = CurrentExceptionMessage();
        if (message.isEmpty())
            message = QStringLiteral("unexpected error");
        host.Console().Message(host.Port(), message);
        try {
            DisconnectDevice(host.Context());
        } catch (...) {
        }
        out.Code = ExitCommand;
        out.Status = QStringLiteral("error");
        out.Detail = message;
    }
    out.Port = host.Port();
    out.Values = host.Fields();
    return out;
}

void CommandFailed(TPortOutcome &out, const QString &detail = {})
{
    if (out.Code != ExitOk)
        return;
    out.Code = ExitCommand;
    out.Status = QStringLiteral("command failed");
    out.Detail = detail;
}

/// Reads one parameter from the sensor into its field.
int ReadParameter(TSensorContext &context, TDeviceField field)
{
    switch (field) {
    case dfInertWork: return DevInertTWork(context, false);
    case dfInertCalib: return DevInertTCalib(context, false);
    case dfCalTime: return DevCalStabTime(context, false);
    case dfInpFlt: return DevInpFltTime(context, false);
    case dfHystWidth: return DevHystWidth(context, false);
    case dfCalOn: return DevCalOn(context, false);
    case dfCalOff: return DevCalOff(context, false);
    }
    return -1;
}

/// Puts the given values into the fields and reads the ones not given from the sensor.
/// False when one could not be read: then nothing may be sent.
template <size_t N>
bool FillFields(TSensorHost &host, const TFieldTexts &values, const std::array<TDeviceField, N> &fields)
{
    bool complete = true;
    for (TDeviceField field : fields) {
        if (!values[field].isEmpty())
            host.SetFieldText(field, values[field]);
        else if (ReadParameter(host.Context(), field) != 0)
            complete = false;
    }
    return complete;
}

} // namespace

TPortOutcome FindOnPort(TSensorHost &host)
{
    TPortOutcome out = Connected(host, [&](TPortOutcome &out) {
        out.Status = QStringLiteral("sensor");
        out.Detail = QStringLiteral("type %1 firmware %2").arg(Hex4(host.DeviceType()), Hex4(host.Firmware()));
    });
    return out;
}

TPortOutcome ReadPort(TSensorHost &host, const QString &outputFile)
{
    TPortOutcome out = Connected(host, [&](TPortOutcome &out) {
        if (ReadSensorCommands(host.Context()) != 0)
            CommandFailed(out);
    });
    if (out.Code == ExitOk && !outputFile.isEmpty()) {
        const QString failure = SaveSettingsImage(outputFile, out.Values);
        if (!failure.isEmpty()) {
            host.Console().Message(host.Port(), failure);
            out.Code = ExitFile;
            out.Status = QStringLiteral("file error");
            out.Detail = outputFile;
        }
    }
    return out;
}

TPortOutcome WritePort(TSensorHost &host, const TFieldTexts &values, bool verify)
{
    return Connected(host, [&](TPortOutcome &out) {
        if (!FillFields(host, values, WritableFields)) {
            CommandFailed(out, QStringLiteral("the current values could not be read; nothing was written"));
            return;
        }
        TFieldTexts sent = host.Fields();
        if (WriteSensorCommands(host.Context()) != 0)
            CommandFailed(out);
        if (!verify)
            return;
        for (TDeviceField field : WritableFields) {
            if (ReadParameter(host.Context(), field) != 0) {
                CommandFailed(out, QStringLiteral("%1 could not be read back").arg(FieldName(field)));
                continue;
            }
            if (!SameValue(field, sent[field], host.FieldText(field)))
                out.Differences << TDifference{field, sent[field], host.FieldText(field)};
        }
        if (!out.Differences.isEmpty() && out.Code == ExitOk) {
            out.Code = ExitDifferent;
            out.Status = QStringLiteral("differs");
        }
    });
}

TPortOutcome CalibratePort(TSensorHost &host, const TFieldTexts &values, bool on)
{
    return Connected(host, [&](TPortOutcome &out) {
        if (!FillFields(host, values, std::array{dfInertCalib, dfCalTime})) {
            CommandFailed(out, QStringLiteral("the calibration parameters could not be read; nothing was run"));
            return;
        }
        if (CalibrateSensorCommands(host.Context(), on) != 0)
            CommandFailed(out);
    });
}
