#include "tools/sensor-cli/PortList.h"

#include "serial/ComConvert.h"

#include <QStringList>

QList<TListedPort> ListSerialPorts()
{
    QStringList names;
    EnumComPorts(names);
    QList<TListedPort> ports;
    for (const QString &name : names)
        ports << TListedPort{name, name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name, {}};
    return ports;
}
