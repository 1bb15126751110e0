#include "tools/sensor-cli/Usage.h"

QString UsageText()
{
    return QStringLiteral(R"(NAME
    tq-sensor - read, write, calibrate and find capacitive level sensors

SYNOPSIS
    tq-sensor ports [--json]
    tq-sensor find [PORT...] [--json] [--trace FILE]
    tq-sensor read PORT... [-o FILE.tqx] [--json] [--trace FILE]
    tq-sensor write PORT... (FILE.tqx | --set FIELD=VALUE...) [--verify] [--json] [--trace FILE]
    tq-sensor calibrate on|off PORT... [--time MS] [--inert MS] [--json] [--trace FILE]

DESCRIPTION
    tq-sensor does from a terminal or a script what the configurator window does by hand,
    with the same commands, messages, time-outs and settings files. A PORT is a device name
    (ttyUSB0) or path (/dev/ttyUSB0), or a line behind a serial device server:
    rfc2217://HOST:PORT or tcp://HOST:PORT (see NETWORK PORTS). Several ports in one command
    are served at the same time, each over its own connection; the command ends with one
    line per port and a summary on standard output.

COMMANDS
    ports
        List the machine's serial ports: name, device path and what the system says the
        port is (USB maker, product, ids and serial number, or the UART and driver).

    find [PORT...]
        Probe the given ports, or every serial port of the machine, all at the same time:
        open, switch the communication mode on, PING, ID, switch it off. Prints the device
        type and firmware version of each sensor. A port that another program holds is
        reported as busy and left alone.

    read PORT...
        The window's read: the five parameters and the two calibration results. With -o the
        seven values are saved to a settings file, only when all of them were read.

    write PORT... FILE.tqx | --set FIELD=VALUE...
        The window's write: sends the five parameters and makes the sensor store them
        (SAVE_CONF). The values come from a settings file, from --set, or both (--set wins).
        A parameter that neither gives is first read from the sensor in the same connection,
        so it is written back unchanged; when that read fails nothing is written.

    calibrate on|off PORT...
        The window's calibration of the switched-on or switched-off state: writes the
        calibration inertia and averaging time, then runs the calibration and prints its
        result. A value not given with --inert or --time is first read from the sensor. On a
        terminal, standard error shows the elapsed and the expected time while it runs.

OPTIONS
    -o, --output FILE.tqx
        read: save the values to this settings file. With several ports the name must
        contain {port}, which becomes the port's name (values-{port}.tqx; a network port
        gives e.g. rfc2217-10.0.0.5-4001).
    --set FIELD=VALUE
        write: send VALUE for FIELD; may be repeated.
    --verify
        write: read the five parameters back afterwards and report every value the sensor
        holds differently from what was sent (a sensor that clamps a value is reported).
    --time MS
        calibrate: the averaging time (averaging_time) to calibrate with.
    --inert MS
        calibrate: the calibration inertia (calib_inertia) to calibrate with.
    --json
        Print the result as one JSON document instead of lines.
    --trace FILE
        Write every request and reply to FILE: time in ms since the start (monotonic), port,
        direction (> to the sensor, < from it), the bytes in hex, the command and the
        transaction's result (complete, time-out, not sent). Off by default.
    -h, --help
        Show this text.

NETWORK PORTS
    rfc2217://HOST:PORT
        Telnet with the com-port option (RFC 2217), as serial device servers and ser2net's
        telnet(rfc2217) accepter offer it: the line settings (9600 8N1, no flow control)
        are sent to the server and its answers checked, so they reach the far UART.
    tcp://HOST:PORT
        Raw bytes: the line settings are the server's own configuration; set the server's
        line to 9600 8N1.
    HOST is a name, an IPv4 address or an IPv6 address in brackets ([::1]). A name with
    any other scheme is refused as a usage error. A server that closes the connection
    during a command ends that port with "error"; nothing reconnects by itself.

SECURITY
    RFC 2217 and raw TCP carry no authentication and no encryption: anyone who reaches the
    server's port can drive the sensors behind it. Bind the server to loopback or to a
    separate management network, never to a network others share.

FIELDS
    Values are written as the window shows them; the hysteresis uses the decimal separator
    of the user's locale.
        work_inertia     inertia of the input filter in normal operation, ms
        input_filter     minimum switching time of the output, ms
        hysteresis       switching hysteresis, % of the on/off difference
        calib_inertia    inertia in calibration mode, ms
        averaging_time   averaging time of the signal in calibration mode, ms
        cal_on           calibration value of the switched-on state (read only)
        cal_off          calibration value of the switched-off state (read only)
    Integer values must lie between 0 and 65535, the hysteresis must be finite.

OUTPUT
    Standard output: one line per port in the order given, "PORT: STATUS VALUES...", then a
    summary. STATUS is ok, sensor, busy, no such port, not a terminal, cannot open,
    no sensor, wrong device type, command failed, differs, file error or error; for a
    network port also refused, unknown host, no answer, not an RFC 2217 server or closed
    by the server (busy then shows the server's own words).
    Standard error: the system's own messages (in Russian), exactly as the window shows
    them, each after "PORT: ".

EXIT STATUS
    0   every port succeeded (find: at least one sensor was found)
    1   a command timed out, was refused or failed in the sensor
    2   the command line or a value on it is wrong
    3   a port is missing, busy or cannot be opened (or its server cannot be reached)
    4   no sensor answered (find: none on any port)
    5   the device is of another type, or did not identify itself
    6   a settings file could not be read or written
    7   --verify found a value the sensor holds differently
    When ports fail differently, the status is that of the first failed port in the order
    given.

EXAMPLES
    tq-sensor read /dev/ttyUSB0 -o line3.tqx
    tq-sensor write ttyUSB0 ttyUSB1 ttyUSB2 ttyUSB3 line3.tqx --verify
    tq-sensor write ttyUSB0 --set hysteresis=7.5 --set work_inertia=40
    tq-sensor calibrate on ttyUSB0 --time 20000
    tq-sensor find
    tq-sensor read rfc2217://127.0.0.1:4001 tcp://[::1]:4002
)");
}
