#pragma once
// Display and storage texts of the line settings, and the list of the machine's ports.

#include "serial/ComTypes.h"

#include <QString>
#include <QStringList>

QString BaudRateToStr(TBaudRate BaudRate);
QString StopBitsToStr(TStopBits StopBits);
QString DataBitsToStr(TDataBits DataBits);
QString ParityToStr(TParityBits Parity);
QString FlowControlToStr(TFlowControl FlowControl);

/// Case-insensitive, untrimmed match of the text; a text that matches nothing gives
/// br9600, sbOneStopBit, dbEight, prNone or fcCustom.
TBaudRate StrToBaudRate(const QString &Str);
TStopBits StrToStopBits(const QString &Str);
TDataBits StrToDataBits(const QString &Str);
TParityBits StrToParity(const QString &Str);
TFlowControl StrToFlowControl(const QString &Str);

/// Replaces Ports with the names (relative to /dev, sorted without regard to case) of the
/// machine's serial ports, read under Root (tests: a fake tree). On a system that keeps no
/// port list Ports is left untouched. Descriptions of the ports: serial/ComPortInfo.h.
void EnumComPorts(QStringList &Ports, const QString &Root = QStringLiteral("/"));

/// Bits per second of a rate member (CustomRate for brCustom).
int BaudRateValue(TBaudRate BaudRate, int CustomRate);
