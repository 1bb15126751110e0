#pragma once
// A drop-down list bound to one property of a port (its name, baud rate, data bits, stop
// bits, parity or flow control). It lists the possible values, shows the port's current
// value, and with AutoApply writes the user's pick straight into the port.
//
// Typical use: combo->SetComPort(port); combo->SetComProperty(cpPort);
// combo->SetAutoApply(true); combo->SetText(QStringLiteral("ttyS0")).
// The port is not owned; when it is destroyed first the combo forgets it and selects its
// first item. The items are filled only when ComProperty is set; setting it again (even to
// the same value) lists the ports anew.

#include "serial/widgets/ComSelect.h"

#include <QComboBox>
#include <QMetaObject>

class QStringListModel;

class TComComboBox : public QComboBox {
    Q_OBJECT
public:
    /// A drop-down list (not editable) with no port and no property.
    explicit TComComboBox(QWidget *parent = nullptr);
    ~TComComboBox() override;

    TCustomComPort *ComPort() const { return FComSelect.ComPort(); }
    /// Binds Port (nullptr unbinds) and, for a port, selects the item of its current value.
    void SetComPort(TCustomComPort *Port);
    TComProperty ComProperty() const { return FComSelect.ComProperty(); }
    /// Refills the items, then selects the port's current value, or item 0 without a port.
    void SetComProperty(TComProperty Value);
    bool AutoApply() const { return FComSelect.AutoApply(); }
    void SetAutoApply(bool Value) { FComSelect.SetAutoApply(Value); }

    /// The selected item's text, empty when nothing is selected.
    QString Text() const;
    /// Selects the item equal to Value without regard to case; otherwise nothing changes.
    void SetText(const QString &Value);

    /// Writes the recorded choice into the port.
    void ApplySettings() { FComSelect.ApplySettings(); }
    /// Selects the item of the port's current value; none when it is not listed.
    void UpdateSettings();
    /// Takes the current item as the user's choice (applied with AutoApply), then emits
    /// Changed(). Runs on every pick in the list. A port failure propagates from here, before
    /// Changed(); when a pick triggers it, the failure goes to ShowCurrentException() instead.
    void Change();

    /// The selection logic, e.g. to set where port names come from.
    TComSelect &ComSelect() { return FComSelect; }

signals:
    /// The user picked an item and it was taken (and applied, with AutoApply).
    void Changed();

private:
    void PortDestroyed();

    TComSelect FComSelect; // its Items is FItems
    QStringListModel *FItems;
    QMetaObject::Connection FPortWatch;
};
