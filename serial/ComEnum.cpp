// The machine's serial ports: names for the selection controls, descriptions for people.

#include "serial/ComConvert.h"
#include "serial/ComPortList_p.h"

#include <algorithm>

namespace {
// Text order, not port number: ttyS10 precedes ttyS2.
void SortByName(std::vector<TComPortInfo> &Ports)
{
    std::stable_sort(Ports.begin(), Ports.end(), [](const TComPortInfo &a, const TComPortInfo &b) {
        return a.Name.compare(b.Name, Qt::CaseInsensitive) < 0;
    });
}
} // namespace

std::vector<TComPortInfo> ComPortInfos(const QString &Root)
{
    std::vector<TComPortInfo> ports;
    ListSystemComPorts(Root, ports);
    SortByName(ports);
    return ports;
}

void EnumComPorts(QStringList &Ports, const QString &Root)
{
    std::vector<TComPortInfo> ports;
    if (!ListSystemComPorts(Root, ports))
        return;
    SortByName(ports);
    QStringList names;
    for (const TComPortInfo &p : ports)
        names << p.Name;
    Ports = names;
}

QString ComPortDescription(const TComPortInfo &Info)
{
    QString title;
    QStringList details;
    if (!Info.VendorId.isEmpty()) {
        title = !Info.Product.isEmpty() ? Info.Product
                : !Info.Manufacturer.isEmpty() ? Info.Manufacturer
                                               : QStringLiteral("USB serial");
        details << Info.VendorId + QLatin1Char(':') + Info.ProductId;
        if (!Info.SerialNumber.isEmpty())
            details << Info.SerialNumber;
    } else if (!Info.Uart.isEmpty()) {
        title = Info.Uart + QStringLiteral(" UART");
        if (!Info.Driver.isEmpty())
            details << Info.Driver;
    } else {
        title = Info.Driver;
    }
    if (Info.LatencyTimerMs >= 0)
        details << QStringLiteral("latency timer %1 ms").arg(Info.LatencyTimerMs);
    if (details.isEmpty())
        return title;
    const QString inner = details.join(QStringLiteral(", "));
    return title.isEmpty() ? inner : QStringLiteral("%1 (%2)").arg(title, inner);
}

const TComPortInfo *FindComPortInfo(const std::vector<TComPortInfo> &Ports, const QString &Port)
{
    const QString path = ComDevicePath(Port);
    for (const TComPortInfo &p : Ports)
        if (p.Name == Port || p.DevicePath == path || p.ById.contains(path) || p.ByPath.contains(path))
            return &p;
    return nullptr;
}
