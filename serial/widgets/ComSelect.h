#pragma once
// The logic of a list control bound to one property of a port: it fills the list with the
// possible values, finds the port's current value in it and writes the user's choice back.

#include "serial/ComTypes.h"

#include <QString>
#include <QStringList>
#include <functional>

class QStringListModel;
class TCustomComPort;

/// The port property a selection control is bound to.
enum TComProperty : quint8 { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

/// Lists the port names offered for cpPort (replacing Ports' content).
using TPortLister = std::function<void(QStringList &Ports)>;

class TComSelect {
public:
    /// The list of the control served; the control owns it. Required before the fill operations.
    QStringListModel *Items() const { return FItems; }
    void SetItems(QStringListModel *Items) { FItems = Items; }

    /// The bound port, not owned; nullptr for none.
    TCustomComPort *ComPort() const { return FComPort; }
    void SetComPort(TCustomComPort *Port) { FComPort = Port; }
    TComProperty ComProperty() const { return FComProperty; }
    /// Binds the property and refills the items (cpNone clears them).
    void SetComProperty(TComProperty Value);
    bool AutoApply() const { return FAutoApply; }
    void SetAutoApply(bool Value) { FAutoApply = Value; }

    /// Where cpPort's names come from; the machine's serial ports (EnumComPorts) by default.
    void SetPortLister(TPortLister Lister) { FPortLister = std::move(Lister); }

    // Each fill operation replaces the items; an enumeration's item i is its value i.
    void SelectPort();
    void SelectBaudRate();
    void SelectDataBits();
    void SelectStopBits();
    void SelectParity();
    void SelectFlowControl();

    /// Records the user's choice and, with AutoApply, writes it to the port. A failure of the
    /// port (e.g. a new name that cannot be opened) propagates as EComPort.
    void Change(const QString &Text);
    /// Writes the recorded choice into the bound port; nothing without one.
    void ApplySettings();
    /// Sets ItemIndex to the item that shows the port's current value (-1 when none matches)
    /// and records that value. Without a port or property ItemIndex is left alone.
    void UpdateSettings(int &ItemIndex);

private:
    void Fill(const QStringList &Texts);

    QString FPort;
    TBaudRate FBaudRate = br9600;
    TDataBits FDataBits = dbEight;
    TStopBits FStopBits = sbOneStopBit;
    TParityBits FParity = prNone;
    TFlowControl FFlowControl = fcNone;
    QStringListModel *FItems = nullptr;
    TComProperty FComProperty = cpNone;
    TCustomComPort *FComPort = nullptr;
    bool FAutoApply = false;
    TPortLister FPortLister;
};
