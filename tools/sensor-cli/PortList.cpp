#include "tools/sensor-cli/PortList.h"

#include "serial/ComPortInfo.h"

QList<TListedPort> ListSerialPorts(const QString &root)
{
    QList<TListedPort> ports;
    for (const TComPortInfo &info : ComPortInfos(root))
        ports << TListedPort{info.Name, info.DevicePath, ComPortDescription(info), info.ById};
    return ports;
}
