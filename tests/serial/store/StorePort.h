#pragma once
// Ports for the store's tests and its fuzz target: named like the configurator's, with every
// setting given a value that differs from a new port's.

#include "serial/ComPort.h"

#include <memory>

/// A port named like the configurator's, with the groups given.
inline std::unique_ptr<TComPort> MakePort(TStoredProps Props = {spBasic})
{
    auto port = std::make_unique<TComPort>();
    port->setObjectName(QStringLiteral("cpCOM"));
    port->SetStoredProps(Props);
    return port;
}

inline constexpr TStoredProps AllGroups{spBasic, spFlowControl, spBuffer, spTimeouts, spParity, spOthers};

/// Gives every setting of every group a value that differs from a new port's.
inline void SetEverything(TCustomComPort &Port)
{
    Port.SetPort(QStringLiteral("ttyUSB3"));
    Port.SetBaudRate(brCustom);
    Port.SetCustomBaudRate(250000);
    Port.SetStopBits(sbTwoStopBits);
    Port.SetDataBits(dbSeven);
    Port.Parity().SetBits(prEven);
    Port.SetEventChar(QChar(u'~'));
    Port.SetDiscardNull(true);
    Port.Parity().SetCheck(true);
    Port.Parity().SetReplace(true);
    Port.Parity().SetReplaceChar(QChar(0x80));
    Port.Buffer().SetOutputSize(4096);
    Port.Buffer().SetInputSize(2048);
    Port.Timeouts().SetReadInterval(5);
    Port.Timeouts().SetReadTotalC(6);
    Port.Timeouts().SetReadTotalM(7);
    Port.Timeouts().SetWriteTotalC(8);
    Port.Timeouts().SetWriteTotalM(9);
    TComFlowControl &f = Port.FlowControl();
    f.SetControlRTS(rtsToggle);
    f.SetControlDTR(dtrHandshake);
    f.SetDSRSensitivity(true);
    f.SetOutCTSFlow(true);
    f.SetOutDSRFlow(true);
    f.SetTxContinueOnXoff(true);
    f.SetXonXoffIn(true);
    f.SetXonXoffOut(false);
    f.SetXoffChar(QChar(u'S'));
    f.SetXonChar(QChar(u' '));
}

