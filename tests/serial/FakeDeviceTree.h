#pragma once
// A fake sysfs and /dev/serial laid out as the kernel and udev lay them out, with one device
// of each kind a user meets.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fake_devices {

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

inline const QString Usb = "pci0000:00/0000:00:14.0/usb1/";
inline const QString FtdiId = "usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0";
inline const QString FtdiPath = "pci-0000:00:14.0-usb-0:2:1.0-port0";

/// One of each kind: FTDI-style USB adapter, CDC-ACM device, on-board 16550, platform UART,
/// an adapter with unreadable and missing attributes, and a legacy slot without a UART.
inline void BuildMachine(FakeTree &t)
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

} // namespace fake_devices
