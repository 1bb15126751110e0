#include "tools/sensor-cli/Usage.h"

#include <QStringList>

namespace {

constexpr int DescriptionColumn = 26;
constexpr int LineWidth = 79;

/// Words of `text` in lines of at most `width`, each after `indent` blanks.
QString Wrapped(const QString &text, int indent, int width)
{
    QStringList lines;
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    lines << line;
    const QString pad(indent, QLatin1Char(' '));
    return pad + lines.join(QLatin1Char('\n') + pad);
}

/// "  -o, --output=FILE.tqx    read: save ..." as GNU programs list their options.
QString OptionList(const QList<QCommandLineOption> &options)
{
    QString list;
    for (const QCommandLineOption &option : options) {
        QStringList names;
        for (const QString &name : option.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString left = QStringLiteral("  ") + names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            left += QLatin1Char('=') + option.valueName();
        const QString text = Wrapped(option.description(), DescriptionColumn, LineWidth);
        if (left.size() + 2 > DescriptionColumn)
            list += left + QLatin1Char('\n') + text + QLatin1Char('\n');
        else
            list += left.leftJustified(DescriptionColumn) + text.mid(DescriptionColumn) + QLatin1Char('\n');
    }
    return list;
}

} // namespace

TToolOptions::TToolOptions()
    : Output({QStringLiteral("o"), QStringLiteral("output")},
             QStringLiteral("read: save the seven values to this settings file, only when all of them were read. "
                            "With several ports the name must contain {port}, which becomes each port's name "
                            "(a network port gives e.g. rfc2217-10.0.0.5-4001)."),
             QStringLiteral("FILE.tqx")),
      Set(QStringLiteral("set"),
          QStringLiteral("write: send VALUE for FIELD (see Fields); may be repeated, and wins over the file."),
          QStringLiteral("FIELD=VALUE")),
      Verify(QStringLiteral("verify"),
             QStringLiteral("write: read the five parameters back afterwards and report every value the sensor "
                            "holds differently from what was sent.")),
      Time(QStringLiteral("time"), QStringLiteral("calibrate: the averaging time (averaging_time) to calibrate with."),
           QStringLiteral("MS")),
      Inert(QStringLiteral("inert"),
            QStringLiteral("calibrate: the calibration inertia (calib_inertia) to calibrate with."), QStringLiteral("MS")),
      Json(QStringLiteral("json"), QStringLiteral("Print the result as one JSON document (see JSON output).")),
      Trace(QStringLiteral("trace"),
            QStringLiteral("Write every request and reply, decoded and time-stamped, to FILE (see Trace). "
                           "FILE must be a regular file or not exist yet."),
            QStringLiteral("FILE")),
      Quiet({QStringLiteral("q"), QStringLiteral("quiet")},
            QStringLiteral("Print only the ports that failed, the summary and the error messages; no progress "
                           "display.")),
      Verbose({QStringLiteral("v"), QStringLiteral("verbose")},
              QStringLiteral("Show every request and reply on standard error, as the trace writes them; given twice "
                             "(-vv), also the bytes discarded from the line.")),
      Help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")),
      Version(QStringLiteral("version"), QStringLiteral("Show the version and exit."))
{
}

QList<QCommandLineOption> TToolOptions::All() const
{
    return {Output, Set, Verify, Time, Inert, Json, Trace, Quiet, Verbose, Help, Version};
}

QString UsageText(const TToolOptions &options)
{
    return QStringLiteral(R"(Usage: tq-sensor ports [--json]
  or:  tq-sensor find [PORT...] [OPTION...]
  or:  tq-sensor read PORT... [-o FILE.tqx] [OPTION...]
  or:  tq-sensor write PORT... (FILE.tqx | --set FIELD=VALUE...) [--verify] [OPTION...]
  or:  tq-sensor calibrate on|off PORT... [--time MS] [--inert MS] [OPTION...]
Read, write, calibrate and find capacitive level sensors on serial ports.

tq-sensor does from a terminal or a script what the configurator window does by hand, with
the same commands, messages, time-outs and settings files. A PORT is a device name (ttyUSB0),
a path (/dev/ttyUSB0), a stable name (/dev/serial/by-id/...) or a line behind a serial
device server: rfc2217://HOST:PORT or tcp://HOST:PORT (see Network ports). Several ports in
one command are served at the same time, each over its own connection; the command ends with one line
per port and a summary on standard output.

Commands:
  ports      List the machine's serial ports: name, device path, what the system says the
             port is (USB maker, product, ids and serial number, or the UART) and the
             stable /dev/serial/by-id names that lead to it.
  find       Probe the given ports, or every serial port of the machine, all at the same
             time: open, switch the communication mode on, PING, ID, switch it off. Prints
             the device type and firmware version of each sensor. A port that another
             program holds is reported as busy, with the program, and left alone.
  read       The window's read: the five parameters and the two calibration results.
  write      The window's write: sends the five parameters and makes the sensor store them
             (SAVE_CONF). The values come from a settings file, from --set, or both. A
             parameter that neither gives is first read from the sensor in the same
             connection, so it is written back unchanged; when that read fails nothing is
             written.
  calibrate  The window's calibration of the switched-on or switched-off state: writes the
             calibration inertia and averaging time, runs the calibration and prints its
             result. A value not given with --inert or --time is first read from the sensor.
             On a terminal, standard error shows one row per port with the elapsed and the
             expected time.

Fields:
  work_inertia    inertia of the input filter in normal operation, ms
  input_filter    minimum switching time of the output, ms
  hysteresis      switching hysteresis, % of the on/off difference
  calib_inertia   inertia in calibration mode, ms
  averaging_time  averaging time of the signal in calibration mode, ms
  cal_on          calibration value of the switched-on state (read only)
  cal_off         calibration value of the switched-off state (read only)
  Values on the command line are written as the window shows them: integers from 0 to
  65535, the hysteresis a finite number with the decimal separator of the user's locale.

Output:
  Standard output has one line per port in the order given, "PORT: STATUS VALUES...", then a
  summary. STATUS is ok, sensor, busy, no such port, not a terminal, no permission, cannot
  open, line lost, no sensor, wrong device type, command failed, differs, file error or
  error; for a network port also refused, unknown host, no answer, not an RFC 2217 server or
  closed by the server. A port that did not open is followed by the reason in parentheses. Standard error
  has the system's own messages (in Russian), exactly as the window shows them, each after
  "PORT: ".

Network ports:
  rfc2217://HOST:PORT  Telnet with the com-port option (RFC 2217), as serial device servers
                       and ser2net's telnet(rfc2217) accepter offer it: the line settings
                       (9600 8N1, no flow control) are sent to the server and its answers
                       checked, so they reach the far UART.
  tcp://HOST:PORT      Raw bytes: the line settings are the server's own configuration; set
                       the server's line to 9600 8N1.

  HOST is a name, an IPv4 address or an IPv6 address in brackets ([::1]). A name with any
  other scheme is refused as a usage error. A server that closes the connection during a
  command ends that port with "error"; nothing reconnects by itself.

Security:
  RFC 2217 and raw TCP carry no authentication and no encryption: anyone who reaches the
  server's port can drive the sensors behind it. Bind the server to loopback or to a separate
  management network, never to a network others share.

JSON output:
  With --json standard output is one JSON object instead, with these members:

  format       1; a new number means a member changed its meaning or type
  command      "ports", "find", "read", "write" or "calibrate"
  ports        one object per port, in the order given (ports: in the system's order)
  port         the port as given
  status       STATUS as in the text output
  exit_code    the port's own exit status (see Exit status)
  detail       what was found, or why it failed; present only when there is something to say
  values       every value known at the end, as a JSON number by field name; the hysteresis
               is the shortest decimal, with "." as separator, that reads back as the same
               single-precision value
  differences  --verify: one object per differing field, {"field", "sent", "held"}
  succeeded    the number of ports that succeeded
  failed       the number of the others

  ports --json gives name, path, description and by_id (a list) for each port.

Trace:
  Each line of --trace and -v is a request or a reply: time in ms since the start
  (monotonic), port, direction (> to the sensor, < from it), the bytes in hex, the command
  with the value it writes, and on replies the result: "complete" with the value the reply
  carries, "NAK" when the sensor refused, "time-out" or "not sent". Bytes that belong to no
  reply are shown as "discarded" (-vv).

Exit status:
  0   every port succeeded (find: at least one sensor was found)
  1   a command timed out, was refused or failed in the sensor
  2   the command line or a value on it is wrong
  3   a port is missing, busy, cannot be opened (or its server cannot be reached) or was
      lost while connecting
  4   no sensor answered (find: none on any port)
  5   the device is of another type, or did not identify itself
  6   a settings file could not be read or written, or a path is not a regular file
  7   --verify found a value the sensor holds differently
  8   the trace could not be written in full (every port succeeded otherwise)
  When ports fail differently, the status is that of the first failed port in the order
  given.

Options:
)") + OptionList(options.All()) + QStringLiteral(R"(
Examples:
  $ tq-sensor read /dev/ttyUSB0 -o line3.tqx
  $ tq-sensor write ttyUSB0 ttyUSB1 ttyUSB2 ttyUSB3 line3.tqx --verify
  $ tq-sensor write ttyUSB0 --set hysteresis=7.5 --set work_inertia=40
  $ tq-sensor calibrate on ttyUSB0 --time 20000
  $ tq-sensor find --json
  $ tq-sensor read rfc2217://127.0.0.1:4001 tcp://[::1]:4002

Report bugs to: support@brenholtgroup.com
)");
}
