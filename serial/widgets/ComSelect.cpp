#include "serial/widgets/ComSelect.h"

#include "serial/ComConvert.h"
#include "serial/ComPort.h"

#include <QStringListModel>

namespace {
/// The texts of an enumeration's values 0..Count-1.
template <typename E>
QStringList EnumTexts(int Count, QString (*ToStr)(E))
{
    QStringList texts;
    for (int i = 0; i < Count; ++i)
        texts << ToStr(E(i));
    return texts;
}
} // namespace

void TComSelect::Fill(const QStringList &Texts)
{
    if (FItems)
        FItems->setStringList(Texts);
}

void TComSelect::SelectPort()
{
    QStringList ports;
    if (FPortLister)
        FPortLister(ports);
    else
        EnumComPorts(ports);
    Fill(ports);
}

void TComSelect::SelectBaudRate() { Fill(EnumTexts<TBaudRate>(br256000 + 1, BaudRateToStr)); }
void TComSelect::SelectDataBits() { Fill(EnumTexts<TDataBits>(dbEight + 1, DataBitsToStr)); }
void TComSelect::SelectStopBits() { Fill(EnumTexts<TStopBits>(sbTwoStopBits + 1, StopBitsToStr)); }
void TComSelect::SelectParity() { Fill(EnumTexts<TParityBits>(prSpace + 1, ParityToStr)); }
void TComSelect::SelectFlowControl() { Fill(EnumTexts<TFlowControl>(fcCustom + 1, FlowControlToStr)); }

void TComSelect::SetComProperty(TComProperty Value)
{
    FComProperty = Value;
    switch (Value) {
    case cpNone: Fill({}); break;
    case cpPort: SelectPort(); break;
    case cpBaudRate: SelectBaudRate(); break;
    case cpDataBits: SelectDataBits(); break;
    case cpStopBits: SelectStopBits(); break;
    case cpParity: SelectParity(); break;
    case cpFlowControl: SelectFlowControl(); break;
    }
}

void TComSelect::Change(const QString &Text)
{
    switch (FComProperty) {
    case cpNone: break;
    case cpPort: FPort = Text; break;
    case cpBaudRate: FBaudRate = StrToBaudRate(Text); break;
    case cpDataBits: FDataBits = StrToDataBits(Text); break;
    case cpStopBits: FStopBits = StrToStopBits(Text); break;
    case cpParity: FParity = StrToParity(Text); break;
    case cpFlowControl: FFlowControl = StrToFlowControl(Text); break;
    }
    if (FAutoApply)
        ApplySettings();
}

void TComSelect::ApplySettings()
{
    if (!FComPort)
        return;
    switch (FComProperty) {
    case cpNone: break;
    case cpPort: FComPort->SetPort(FPort); break;
    case cpBaudRate: FComPort->SetBaudRate(FBaudRate); break;
    case cpDataBits: FComPort->SetDataBits(FDataBits); break;
    case cpStopBits: FComPort->SetStopBits(FStopBits); break;
    case cpParity: FComPort->Parity().SetBits(FParity); break;
    case cpFlowControl: FComPort->FlowControl().SetFlowControl(FFlowControl); break;
    }
}

void TComSelect::UpdateSettings(int &ItemIndex)
{
    if (!FComPort || FComProperty == cpNone)
        return;
    QString current;
    switch (FComProperty) {
    case cpNone: return;
    case cpPort: current = FComPort->Port(); break;
    case cpBaudRate: current = BaudRateToStr(FComPort->BaudRate()); break;
    case cpDataBits: current = DataBitsToStr(FComPort->DataBits()); break;
    case cpStopBits: current = StopBitsToStr(FComPort->StopBits()); break;
    case cpParity: current = ParityToStr(FComPort->Parity().Bits()); break;
    case cpFlowControl: current = FlowControlToStr(FComPort->FlowControl().GetFlowControl()); break;
    }
    const QStringList items = FItems ? FItems->stringList() : QStringList();
    ItemIndex = -1;
    for (int i = 0; i < items.size(); ++i)
        if (items[i].compare(current, Qt::CaseInsensitive) == 0) {
            ItemIndex = i;
            break;
        }
    if (ItemIndex < 0)
        return;
    // The field takes the value of the item found.
    const QString &item = items[ItemIndex];
    switch (FComProperty) {
    case cpNone: break;
    case cpPort: FPort = item; break;
    case cpBaudRate: FBaudRate = StrToBaudRate(item); break;
    case cpDataBits: FDataBits = StrToDataBits(item); break;
    case cpStopBits: FStopBits = StrToStopBits(item); break;
    case cpParity: FParity = StrToParity(item); break;
    case cpFlowControl: FFlowControl = StrToFlowControl(item); break;
    }
}
