#pragma once
// What the system tells about each serial port: which device it is, which driver runs it,
// and for USB adapters who made it and the stable names udev gives it. Every field that the
// system does not show is empty (the number fields -1); describing a port never fails.
//
// Typical use:
//   for (const TComPortInfo &p : ComPortInfos())
//       qDebug() << p.Name << ComPortDescription(p);

#include <QString>
#include <QStringList>
#include <vector>

struct TComPortInfo {
    QString Name;            ///< relative to /dev, as the port object takes it ("ttyUSB0")
    QString DevicePath;      ///< "/dev/ttyUSB0"
    QString Driver;          ///< kernel driver ("ftdi_sio", "cdc_acm", "serial", "uart-pl011")
    QString Uart;            ///< UART type of on-board ports ("16550A"), else empty
    QString VendorId;        ///< USB only, four hex digits ("0403")
    QString ProductId;       ///< USB only ("6001")
    QString Manufacturer;    ///< USB only ("FTDI")
    QString Product;         ///< USB only ("FT232R USB UART")
    QString SerialNumber;    ///< USB only ("A6008isP")
    QString InterfaceNumber; ///< USB only, two hex digits ("00")
    QStringList ById;        ///< "/dev/serial/by-id/…" links to this device
    QStringList ByPath;      ///< "/dev/serial/by-path/…" links to this device
    int LatencyTimerMs = -1; ///< the adapter's receive latency timer, -1 when not exposed
};

/// The machine's serial ports (the names of EnumComPorts), sorted by Name without regard to
/// case. Root is where the system's device information is read (tests: a fake tree).
std::vector<TComPortInfo> ComPortInfos(const QString &Root = QStringLiteral("/"));

/// One line for a person choosing a port, e.g. "FT232R USB UART (0403:6001, A6008isP)";
/// empty when nothing is known beyond the name.
QString ComPortDescription(const TComPortInfo &Info);

/// The device path of a port name as the port object takes it: absolute paths as they are,
/// other names relative to /dev ("ttyUSB0", "serial/by-id/…"); network names (ComPortName.h)
/// as they are.
QString ComDevicePath(const QString &Port);

/// True while the device of a port name is on the machine (an adapter pulled since is not).
/// Network names always are.
bool ComDeviceExists(const QString &Port);

/// The port that Port names: its Name, its device path or one of its stable names (also
/// relative to /dev, "serial/by-id/…"); nullptr when none of Ports is meant.
const TComPortInfo *FindComPortInfo(const std::vector<TComPortInfo> &Ports, const QString &Port);
