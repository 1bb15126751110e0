#include "tools/sensor-cli/PortList.h"

#include "serial/ComPortInfo.h"

QList<TListedPort> ListSerialPorts()
{
    QList<TListedPort> ports;
    for (const TComPortInfo &info : ComPortInfos())
        ports << TListedPort{info.Name, info.DevicePath, ComPortDescription(info)};
    return ports;
}
