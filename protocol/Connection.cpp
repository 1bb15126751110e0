#include "protocol/Connection.h"

#include "protocol/Commands.h"
#include "protocol/Exchange.h"
#include "protocol/Frame.h"
#include "protocol/SensorContext.h"
#include "serial/ComPort.h"

#include <exception>

namespace {
const QString ErrorCaption = QStringLiteral("Error");
}

void SetSensorLine(TCustomComPort &Port)
{
    Port.SetBaudRate(br9600);
    Port.SetDataBits(dbEight);
    Port.Parity().SetBits(prNone);
    Port.SetStopBits(sbOneStopBit);
    TComFlowControl &flow = Port.FlowControl();
    flow.SetOutCTSFlow(false);
    flow.SetOutDSRFlow(false);
    flow.SetControlDTR(dtrDisable);
    flow.SetControlRTS(rtsDisable);
    flow.SetXonXoffOut(false);
    flow.SetXonXoffIn(false);
    Port.SetEvents(AllComEvents);
    Port.SetTriggersOnRxChar(true);
}

int ConnectDevice(TSensorContext &Context)
{
    TConnectionHost &Host = Context.Connection();
    quint16 devType = 0;
    quint16 firmware = 0;
    Host.SetWaitCursor(true);
    Host.SetDeviceControlsEnabled(false);

    TCustomComPort &port = Host.ComPort();
    int openError = 0;
    try {
        port.SetPort(Host.ChosenPort());
        // The sensor always talks at 9600, whatever the stored settings say.
        port.SetBaudRate(br9600);
        port.Open();
    } catch (const EComPort &e) {
        openError = e.Code() == CE_OpenFailed + 1 ? e.WinCode() : -1;
    } catch (...) {
        openError = -1;
    }
    if (openError != 0) {
        Host.OpenFailedBox(QStringLiteral("Невозможно открыть COM-порт. Попробуйте выбрать другой порт или запустить "
                                          "программу от имени администратора."),
                           QStringLiteral("Ошибка"), openError);
        DisconnectDevice(Context);
        return ConnectFailed;
    }

    DevCommMode(Context, 1);

    TReplyBuffer reply;
    quint32 count = 0;
    // Any whole reply, NAK included, shows that a sensor is there.
    if (Exchange(Context, BuildRequest(TCommand::PING), reply, count) != ExchangeOk) {
        Host.ErrorBox(QStringLiteral("Ошибка при команде PING."), ErrorCaption);
        DisconnectDevice(Context);
        return ConnectFailed;
    }

    if (DevId(Context, devType, firmware) == 0) // reports its own failure; the type then stays 0
        Host.DeviceIdentified(devType, firmware);
    if (devType == SupportedDeviceType)
        return ConnectOk;

    Host.ErrorBox(QStringLiteral("Устройство данного типа или микропрограмма данной версии не поддерживаются."),
                  ErrorCaption);
    DisconnectDevice(Context);
    return ConnectUnsupported;
}

void DisconnectDevice(TSensorContext &Context)
{
    TConnectionHost &Host = Context.Connection();
    TCustomComPort &port = Host.ComPort();
    // A line that vanished fails the farewell; the port must still close and the window
    // unlock, or the user could neither retry nor close it.
    std::exception_ptr failure;
    if (port.Connected()) {
        try {
            DevCommMode(Context, 0);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    try {
        port.Close();
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    Host.SetDeviceControlsEnabled(true);
    Host.SetWaitCursor(false);
    if (failure)
        std::rethrow_exception(failure);
}
