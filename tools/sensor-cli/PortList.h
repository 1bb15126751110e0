#pragma once
// The machine's serial ports as tq-sensor lists them.

#include <QList>
#include <QString>
#include <QStringList>

struct TListedPort {
    QString Name;        ///< what the port is called, e.g. ttyUSB0
    QString Path;        ///< the device to open
    QString Description; ///< what the system says it is; empty when it says nothing
    QStringList ById;    ///< the stable /dev/serial/by-id names that lead to it
};

/// The one place that asks the serial component for the ports, with their descriptions;
/// `root` is where the system's device information is read (tests: a fake tree).
QList<TListedPort> ListSerialPorts(const QString &root = QStringLiteral("/"));
