#pragma once
// The machine's serial ports as tq-sensor lists them.

#include <QList>
#include <QString>

struct TListedPort {
    QString Name;        ///< what the port is called, e.g. ttyUSB0
    QString Path;        ///< the device to open
    QString Description; ///< what the system says it is; empty when it says nothing
};

/// The one place that asks the serial component for the ports, with their descriptions.
QList<TListedPort> ListSerialPorts();
