// Port descriptions read from a fake sysfs and /dev/serial laid out as the kernel and udev
// lay them out for each kind of device.

#include "serial/ComConvert.h"
#include "serial/ComPortInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class FakeTree {
public:
    QString Root() const { return FDir.path(); }

    void File(const QString &Path, const QByteArray &Content)
    {
        const QString full = Root() + "/" + Path;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(full).path()));
        QFile f(full);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Content + "\n");
    }
    void Link(const QString &Path, const QString &Target)
    {
        const QString full = Root() + "/" + Path;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(full).path()));
        ASSERT_TRUE(QFile::link(Target, full));
    }
    /// A tty class entry for Name whose device is DeviceDir (under sys/devices).
    void Tty(const QString &Name, const QString &DeviceDir, const QByteArray &Type = {})
    {
        const QString tty = "sys/devices/" + DeviceDir + "/tty/" + Name;
        File(tty + "/uevent", "MAJOR=188\nMINOR=0\nDEVNAME=" + Name.toUtf8());
        if (!Type.isEmpty())
            File(tty + "/type", Type);
        Link(tty + "/device", "../..");
        Link("sys/class/tty/" + Name, Root() + "/" + tty);
    }
    void Driver(const QString &DeviceDir, const QString &Bus, const QString &Name)
    {
        QDir().mkpath(Root() + "/sys/bus/" + Bus + "/drivers/" + Name);
        Link("sys/devices/" + DeviceDir + "/driver", Root() + "/sys/bus/" + Bus + "/drivers/" + Name);
    }
    void UsbDevice(const QString &Dir, const QByteArray &Vid, const QByteArray &Pid, const QByteArray &Maker,
                   const QByteArray &Product, const QByteArray &Serial)
    {
        const QString d = "sys/devices/" + Dir;
        File(d + "/idVendor", Vid);
        File(d + "/idProduct", Pid);
        if (!Maker.isEmpty())
            File(d + "/manufacturer", Maker);
        if (!Product.isEmpty())
            File(d + "/product", Product);
        if (!Serial.isEmpty())
            File(d + "/serial", Serial);
    }
    void Stable(const QString &Kind, const QString &Name, const QString &Device)
    {
        Link("dev/serial/" + Kind + "/" + Name, "../../" + Device);
    }

private:
    QTemporaryDir FDir;
};

const QString Usb = "pci0000:00/0000:00:14.0/usb1/";
const QString FtdiId = "usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0";
const QString FtdiPath = "pci-0000:00:14.0-usb-0:2:1.0-port0";

/// One of each kind: FTDI-style USB adapter, CDC-ACM device, on-board 16550, platform UART,
/// an adapter with unreadable and missing attributes, and a legacy slot without a UART.
void BuildMachine(FakeTree &t)
{
    t.UsbDevice(Usb + "1-2", "0403", "6001", "FTDI", "FT232R USB UART", "A6008isP");
    t.File("sys/devices/" + Usb + "1-2/1-2:1.0/bInterfaceNumber", "00");
    t.Driver(Usb + "1-2/1-2:1.0", "usb", "ftdi_sio");
    t.Driver(Usb + "1-2/1-2:1.0/ttyUSB0", "usb-serial", "ftdi_sio");
    t.File("sys/devices/" + Usb + "1-2/1-2:1.0/ttyUSB0/latency_timer", "16");
    t.Tty("ttyUSB0", Usb + "1-2/1-2:1.0/ttyUSB0");
    t.Stable("by-id", FtdiId, "ttyUSB0");
    t.Stable("by-path", FtdiPath, "ttyUSB0");

    t.UsbDevice(Usb + "1-3", "2341", "0043", "Arduino (www.arduino.cc)", {}, "75735323");
    t.File("sys/devices/" + Usb + "1-3/1-3:1.0/bInterfaceNumber", "00");
    t.Driver(Usb + "1-3/1-3:1.0", "usb", "cdc_acm");
    t.Tty("ttyACM0", Usb + "1-3/1-3:1.0");
    t.Stable("by-id", "usb-Arduino__www.arduino.cc__0043_75735323-if00", "ttyACM0");

    t.Driver("pnp0/00:04", "pnp", "serial");
    t.Tty("ttyS0", "pnp0/00:04", "4");
    t.Driver("platform/serial8250", "platform", "serial8250");
    t.Tty("ttyS1", "platform/serial8250", "0");

    t.Driver("platform/soc/fe201000.serial", "amba", "uart-pl011");
    t.Tty("ttyAMA0", "platform/soc/fe201000.serial", "83");

    // A product string that cannot be read, no serial number, no driver, a garbled timer.
    t.UsbDevice(Usb + "1-4", "1a86", "7523", "QinHeng", {}, {});
    QDir().mkpath(t.Root() + "/sys/devices/" + Usb + "1-4/product");
    t.File("sys/devices/" + Usb + "1-4/1-4:1.1/bInterfaceNumber", "01");
    t.File("sys/devices/" + Usb + "1-4/1-4:1.1/ttyUSB1/latency_timer", "fast");
    t.Tty("ttyUSB1", Usb + "1-4/1-4:1.1/ttyUSB1");
    t.Stable("by-id", "usb-stale-link", "ttyUSB9");

    QDir().mkpath(t.Root() + "/sys/class/tty/tty0"); // a virtual console: no device
}

} // namespace

TEST(ComPortInfo, EveryKindOfDeviceIsDescribed)
{
    FakeTree t;
    BuildMachine(t);
    const std::vector<TComPortInfo> ports = ComPortInfos(t.Root());
    QStringList names;
    for (const TComPortInfo &p : ports)
        names << p.Name;
    ASSERT_EQ(names, QStringList({"ttyACM0", "ttyAMA0", "ttyS0", "ttyUSB0", "ttyUSB1"}));

    const TComPortInfo &acm = ports[0];
    EXPECT_EQ(acm.DevicePath, "/dev/ttyACM0");
    EXPECT_EQ(acm.Driver, "cdc_acm");
    EXPECT_EQ(acm.VendorId + ":" + acm.ProductId, "2341:0043");
    EXPECT_EQ(acm.InterfaceNumber, "00");
    EXPECT_EQ(acm.ById, QStringList{"/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043_75735323-if00"});
    EXPECT_TRUE(acm.ByPath.isEmpty());
    EXPECT_EQ(ComPortDescription(acm), "Arduino (www.arduino.cc) (2341:0043, 75735323)");

    const TComPortInfo &pl011 = ports[1];
    EXPECT_EQ(pl011.Driver, "uart-pl011");
    EXPECT_TRUE(pl011.VendorId.isEmpty());
    EXPECT_TRUE(pl011.Uart.isEmpty());
    EXPECT_EQ(ComPortDescription(pl011), "uart-pl011");

    const TComPortInfo &s0 = ports[2];
    EXPECT_EQ(s0.Driver, "serial");
    EXPECT_EQ(s0.Uart, "16550A");
    EXPECT_EQ(s0.LatencyTimerMs, -1);
    EXPECT_EQ(ComPortDescription(s0), "16550A UART (serial)");

    const TComPortInfo &ftdi = ports[3];
    EXPECT_EQ(ftdi.DevicePath, "/dev/ttyUSB0");
    EXPECT_EQ(ftdi.Driver, "ftdi_sio");
    EXPECT_EQ(ftdi.Manufacturer, "FTDI");
    EXPECT_EQ(ftdi.Product, "FT232R USB UART");
    EXPECT_EQ(ftdi.SerialNumber, "A6008isP");
    EXPECT_EQ(ftdi.InterfaceNumber, "00");
    EXPECT_EQ(ftdi.LatencyTimerMs, 16);
    EXPECT_EQ(ftdi.ById, QStringList{"/dev/serial/by-id/" + FtdiId});
    EXPECT_EQ(ftdi.ByPath, QStringList{"/dev/serial/by-path/" + FtdiPath});
    EXPECT_EQ(ComPortDescription(ftdi), "FT232R USB UART (0403:6001, A6008isP, latency timer 16 ms)");

    const TComPortInfo &odd = ports[4];
    EXPECT_EQ(odd.VendorId, "1a86");
    EXPECT_TRUE(odd.Product.isEmpty());
    EXPECT_TRUE(odd.SerialNumber.isEmpty());
    EXPECT_TRUE(odd.Driver.isEmpty());
    EXPECT_EQ(odd.InterfaceNumber, "01");
    EXPECT_EQ(odd.LatencyTimerMs, -1);
    EXPECT_TRUE(odd.ById.isEmpty());
    EXPECT_EQ(ComPortDescription(odd), "QinHeng (1a86:7523)");

    QStringList listed{"stale"};
    EnumComPorts(listed, t.Root());
    EXPECT_EQ(listed, names);
}

TEST(ComPortInfo, StableNamesFindTheirPort)
{
    FakeTree t;
    BuildMachine(t);
    const std::vector<TComPortInfo> ports = ComPortInfos(t.Root());
    for (const QString &name : {QString("ttyUSB0"), QString("/dev/ttyUSB0"), "/dev/serial/by-id/" + FtdiId,
                                "serial/by-id/" + FtdiId, "/dev/serial/by-path/" + FtdiPath}) {
        const TComPortInfo *found = FindComPortInfo(ports, name);
        ASSERT_NE(found, nullptr) << qPrintable(name);
        EXPECT_EQ(found->Name, "ttyUSB0");
    }
    EXPECT_EQ(FindComPortInfo(ports, "ttyUSB9"), nullptr);
    EXPECT_EQ(FindComPortInfo(ports, "/dev/serial/by-id/usb-stale-link"), nullptr);
}

TEST(ComPortInfo, NoTtyClassMeansNoPorts)
{
    QTemporaryDir empty;
    EXPECT_TRUE(ComPortInfos(empty.path()).empty());
    // The machine's own list agrees with the names offered for selection.
    QStringList names;
    EnumComPorts(names);
    QStringList described;
    for (const TComPortInfo &p : ComPortInfos())
        described << p.Name;
    EXPECT_EQ(described, names);
}
