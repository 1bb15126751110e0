// Port descriptions read from a fake sysfs and /dev/serial laid out as the kernel and udev
// lay them out for each kind of device.

#include "serial/ComConvert.h"
#include "serial/ComPortInfo.h"
#include "FakeDeviceTree.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace fake_devices;

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
