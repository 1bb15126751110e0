// The machine's serial ports, from the kernel's tty class in sysfs.

#include "serial/ComConvert.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {
QByteArray ReadSmallFile(const QString &Path)
{
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(4096);
}

/// The /dev name of a tty class entry: DEVNAME of its uevent, else the entry's own name.
QString DeviceName(const QString &Entry)
{
    const QList<QByteArray> lines = ReadSmallFile(Entry + QStringLiteral("/uevent")).split('\n');
    for (const QByteArray &line : lines)
        if (line.startsWith("DEVNAME="))
            return QFile::decodeName(line.mid(8).trimmed());
    return QFileInfo(Entry).fileName();
}
} // namespace

void EnumComPorts(QStringList &Ports, const QString &SysfsRoot)
{
    QDir ttyClass(SysfsRoot + QStringLiteral("/class/tty"));
    if (!ttyClass.exists())
        return;
    QStringList found;
    const QStringList entries =
        ttyClass.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString &name : entries) {
        const QString entry = ttyClass.filePath(name);
        // Virtual consoles and pseudo-terminals have no device behind them.
        if (!QFileInfo::exists(entry + QStringLiteral("/device")))
            continue;
        // Legacy 8250 slots that probed no UART report port type 0 (unknown).
        const QByteArray type = ReadSmallFile(entry + QStringLiteral("/type")).trimmed();
        if (type == "0")
            continue;
        found << DeviceName(entry);
    }
    std::stable_sort(found.begin(), found.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    Ports = found;
}
