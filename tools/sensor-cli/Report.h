#pragma once
// What tq-sensor prints on standard output at the end: one line per port and a summary, or
// the same as one JSON document for scripts (numbers as numbers, a format number on top).

#include "tools/sensor-cli/PortJobs.h"
#include "tools/sensor-cli/PortList.h"

#include <QByteArray>
#include <QJsonValue>

/// The version of the JSON documents' layout.
constexpr int JsonFormat = 1;

/// A field's text as a JSON number: the integer, or for the hysteresis the shortest decimal
/// that reads back as the same single-precision value. A text that does not convert stays
/// a string.
QJsonValue FieldJson(TDeviceField field, const QString &text);

/// "PORT: STATUS ..." per port and the summary; `quiet` leaves out the ports that succeeded.
QString ReportText(const QString &command, const QList<TPortOutcome> &outcomes, bool quiet);
QByteArray ReportJson(const QString &command, const QList<TPortOutcome> &outcomes);

/// "NAME<TAB>PATH<TAB>DESCRIPTION<TAB>BY-ID..." per port (empty columns stay).
QString PortsText(const QList<TListedPort> &ports);
QByteArray PortsJson(const QList<TListedPort> &ports);
