// The machine's serial ports from the kernel's tty class in sysfs, with what sysfs and the
// udev links under /dev/serial tell about each device.

#include "serial/ComPortList_p.h"
#include "serial/ComPortName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

/// A sysfs attribute without its line end; empty when it is missing or cannot be read.
QString ReadAttribute(const QString &Path)
{
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.read(4096)).trimmed();
}

/// The /dev name of a tty class entry: DEVNAME of its uevent, else the entry's own name.
QString DeviceName(const QString &Entry)
{
    const QStringList lines = ReadAttribute(Entry + QStringLiteral("/uevent")).split(QLatin1Char('\n'));
    for (const QString &line : lines)
        if (line.startsWith(QLatin1String("DEVNAME=")))
            return line.mid(8).trimmed();
    return QFileInfo(Entry).fileName();
}

QString LinkName(const QString &Path)
{
    const QFileInfo link(Path);
    return link.isSymLink() ? QFileInfo(link.symLinkTarget()).fileName() : QString();
}

/// The name of the driver that runs the port. Newer kernels put the serial core's own port
/// and controller devices (bus serial-base, drivers "port" and "ctrl") between the tty and
/// the UART; their names say nothing, so the UART's own driver is taken from above them.
QString DriverOf(const QString &DeviceDir)
{
    QString dir = DeviceDir;
    for (int depth = 0; depth < 3 && LinkName(dir + QStringLiteral("/subsystem")) == QLatin1String("serial-base"); ++depth)
        dir = QFileInfo(dir).path();
    return LinkName(dir + QStringLiteral("/driver"));
}

/// The serial core's port type numbers that on-board UARTs report.
QString UartName(const QString &Type)
{
    static const char *const names[] = {nullptr, "8250", "16450", "16550", "16550A", "Cirrus",
                                        "16650", "16650V2", "16750", "Startech", "16C950",
                                        "16654", "16850"};
    bool ok = false;
    const int t = Type.toInt(&ok);
    if (!ok || t <= 0 || t >= int(std::size(names)))
        return {};
    return QString::fromLatin1(names[t]);
}

/// Walks from the tty's device up to the USB device that carries it, if any.
void ReadUsb(const QString &DeviceDir, const QString &DevicesRoot, TComPortInfo &Info)
{
    for (QString dir = DeviceDir; dir.size() > DevicesRoot.size() && dir.startsWith(DevicesRoot);
         dir = QFileInfo(dir).path()) {
        if (Info.InterfaceNumber.isEmpty() && QFileInfo::exists(dir + QStringLiteral("/bInterfaceNumber")))
            Info.InterfaceNumber = ReadAttribute(dir + QStringLiteral("/bInterfaceNumber"));
        if (!QFileInfo::exists(dir + QStringLiteral("/idVendor")))
            continue;
        Info.VendorId = ReadAttribute(dir + QStringLiteral("/idVendor"));
        Info.ProductId = ReadAttribute(dir + QStringLiteral("/idProduct"));
        Info.Manufacturer = ReadAttribute(dir + QStringLiteral("/manufacturer"));
        Info.Product = ReadAttribute(dir + QStringLiteral("/product"));
        Info.SerialNumber = ReadAttribute(dir + QStringLiteral("/serial"));
        return;
    }
}

/// The links in Root/dev/serial/Kind that lead to Root/dev/Name, as paths under /dev.
QStringList StableNames(const QString &Root, const QString &Kind, const QString &Name)
{
    const QString folder = Root + QStringLiteral("/dev/serial/") + Kind;
    const QString device = QDir::cleanPath(Root + QStringLiteral("/dev/") + Name);
    QStringList names;
    const QFileInfoList links = QDir(folder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links)
        if (link.isSymLink() && QDir::cleanPath(link.symLinkTarget()) == device)
            names << QStringLiteral("/dev/serial/%1/%2").arg(Kind, link.fileName());
    return names;
}

} // namespace

bool ListSystemComPorts(const QString &RootDir, std::vector<TComPortInfo> &Ports)
{
    // "/" becomes "", so paths read "/sys/…", never "//sys/…".
    const QString Root = RootDir.endsWith(QLatin1Char('/')) ? RootDir.chopped(1) : RootDir;
    const QDir ttyClass(Root + QStringLiteral("/sys/class/tty"));
    if (!ttyClass.exists())
        return false;
    const QString devicesRoot = QFileInfo(Root + QStringLiteral("/sys/devices")).canonicalFilePath();
    std::vector<TComPortInfo> found;
    const QStringList entries = ttyClass.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString &entryName : entries) {
        const QString entry = ttyClass.filePath(entryName);
        // Virtual consoles and pseudo-terminals have no device behind them.
        const QString deviceDir = QFileInfo(entry + QStringLiteral("/device")).canonicalFilePath();
        if (deviceDir.isEmpty())
            continue;
        // Legacy 8250 slots that probed no UART report port type 0 (unknown).
        const QString type = ReadAttribute(entry + QStringLiteral("/type"));
        if (type == QLatin1String("0"))
            continue;
        TComPortInfo info;
        info.Name = DeviceName(entry);
        info.DevicePath = QStringLiteral("/dev/") + info.Name;
        info.Driver = DriverOf(deviceDir);
        bool ok = false;
        const int latency = ReadAttribute(deviceDir + QStringLiteral("/latency_timer")).toInt(&ok);
        info.LatencyTimerMs = ok ? latency : -1;
        if (!devicesRoot.isEmpty())
            ReadUsb(deviceDir, devicesRoot, info);
        if (info.VendorId.isEmpty())
            info.Uart = UartName(type);
        info.ById = StableNames(Root, QStringLiteral("by-id"), info.Name);
        info.ByPath = StableNames(Root, QStringLiteral("by-path"), info.Name);
        found.push_back(std::move(info));
    }
    Ports = std::move(found);
    return true;
}

QString ComDevicePath(const QString &Port)
{
    if (IsNetPortName(Port))
        return Port;
    return Port.startsWith(QLatin1Char('/')) ? Port : QStringLiteral("/dev/") + Port;
}

bool ComDeviceExists(const QString &Port)
{
    return IsNetPortName(Port) || QFileInfo::exists(ComDevicePath(Port));
}
