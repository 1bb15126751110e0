#pragma once
// The window's port combo: a port selection combo that tells its owner just before its list
// opens, so the owner can list the ports anew (an adapter plugged in since start-up appears).
// Its items stay the port names; the open list shows each port's description beside its
// name, the tooltip the chosen port's path and description, and a path too long for the box
// shows its end (the device's own name).

#include "serial/ComPortInfo.h"
#include "serial/widgets/ComComboBox.h"

#include <functional>
#include <vector>

class TPortComboBox : public TComComboBox {
    Q_OBJECT
public:
    explicit TPortComboBox(QWidget *parent = nullptr);

    /// Runs before the list opens; an exception it raises is shown and the list opens anyway.
    std::function<void()> OnDropDown;

    /// Where the machine's device information is read (tests: a fake tree).
    void SetDeviceRoot(const QString &Root) { FDeviceRoot = Root; }
    /// Reads the machine's ports with their descriptions and returns their names.
    QStringList MachinePorts();

    /// "ttyUSB0 — FT232R USB UART (0403:6001, A6008isP)", or the bare name when nothing is known.
    QString ListText(int Index) const;
    /// The selected text as the closed box shows it: its end when it is too long.
    QString ShownText() const;

    void showPopup() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString Description(const QString &Port) const;
    void UpdateToolTip();

    QString FDeviceRoot = QStringLiteral("/");
    std::vector<TComPortInfo> FPortInfos;
};
