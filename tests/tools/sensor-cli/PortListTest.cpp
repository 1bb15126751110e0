// tq-sensor ports on a fake machine: the stable names with each port, and what each one is.
#include "tests/serial/FakeDeviceTree.h"
#include "tools/sensor-cli/PortList.h"
#include "tools/sensor-cli/Report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using namespace fake_devices;

TEST(CliPorts, StableNamesComeWithEachPortAndAnOnBoardUartNamesItsOwnDriver)
{
    FakeTree t;
    BuildMachine(t);
    // A newer kernel: the serial core's port and controller devices sit between tty and UART.
    const QString uart = QStringLiteral("pnp0/00:05"), port = uart + QStringLiteral("/00:05:0/00:05:0.0");
    t.Driver(uart, QStringLiteral("pnp"), QStringLiteral("serial"));
    t.Driver(uart + QStringLiteral("/00:05:0"), QStringLiteral("serial-base"), QStringLiteral("ctrl"));
    t.Driver(port, QStringLiteral("serial-base"), QStringLiteral("port"));
    for (const QString &dir : {uart + QStringLiteral("/00:05:0"), port})
        t.Link(QStringLiteral("sys/devices/") + dir + QStringLiteral("/subsystem"), t.Root() + QStringLiteral("/sys/bus/serial-base"));
    t.Tty(QStringLiteral("ttyS2"), port, "4");

    const QList<TListedPort> ports = ListSerialPorts(t.Root());
    const QStringList lines = PortsText(ports).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains(QStringLiteral("ttyUSB0\t/dev/ttyUSB0\tFT232R USB UART (0403:6001, A6008isP, latency timer 16 ms)\t"
                                              "/dev/serial/by-id/") + FtdiId))
        << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("ttyS2\t/dev/ttyS2\t16550A UART (serial)\t"))) << lines.join('\n').toStdString();

    const QJsonObject doc = QJsonDocument::fromJson(PortsJson(ports)).object();
    EXPECT_EQ(doc[QStringLiteral("format")].toInt(), JsonFormat);
    QStringList byId;
    for (const QJsonValue &p : doc[QStringLiteral("ports")].toArray())
        if (p[QStringLiteral("name")] == QStringLiteral("ttyACM0"))
            for (const QJsonValue &name : p[QStringLiteral("by_id")].toArray())
                byId << name.toString();
    EXPECT_EQ(byId, QStringList{QStringLiteral("/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043_75735323-if00")});
}

} // namespace
