#include "serial/ComError.h"

#include <QStringList>
#include <array>

namespace {
const std::array<const char *, 24> ComErrorTexts = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
    "Port Not Open",
};
} // namespace

QString ComErrorText(int Code)
{
    if (Code < 1 || Code > int(ComErrorTexts.size()))
        return {};
    return QString::fromLatin1(ComErrorTexts[size_t(Code - 1)]);
}

EComPort::EComPort(int ACode, int AWinCode)
    : EComPort(ACode, AWinCode,
               ComErrorText(ACode) + QStringLiteral(" (Error: %1)").arg(AWinCode))
{
}

EComPort EComPort::CreateNoWinCode(int ACode)
{
    return EComPort(ACode, -1, ComErrorText(ACode));
}

EComPort::EComPort(int ACode, int AWinCode, QString message)
    : Exception(std::move(message)), FWinCode(AWinCode), FCode(ACode)
{
}

QString ComErrorsToStr(TComErrors Errors)
{
    static const char *const names[] = {"Frame", "Parity", "Overrun", "Break",
                                        "IO",    "Mode",   "RxOver",  "TxFull"};
    if (Errors.Empty())
        return QStringLiteral("<Ok>");
    QStringList present;
    for (int bit = 0; bit < 8; ++bit)
        if (Errors.Contains(TComError(bit)))
            present << QString::fromLatin1(names[bit]);
    return QStringLiteral("<ComError:") + present.join(QLatin1Char(',')) + QLatin1Char('>');
}
