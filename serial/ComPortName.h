#pragma once
// Port names of serial lines reached over the network. A name that contains "://" names a
// line behind a serial device server; every other name is a device (see ComPortInfo.h).
//
//   rfc2217://HOST:PORT  Telnet with the com-port option: the line settings reach the far UART
//   tcp://HOST:PORT      raw bytes: the line settings are the server's own configuration
//
// HOST is a name, an IPv4 address or an IPv6 address in brackets ("[::1]"). Neither scheme
// authenticates or encrypts: bind the server to loopback or a management network.

#include <QString>

enum TNetScheme : quint8 { nsRfc2217, nsTcp };

struct TNetPortName {
    TNetScheme Scheme = nsTcp;
    QString Host;      ///< without the brackets of an IPv6 address
    quint16 Port = 0;
    /// "HOST:PORT" as the user wrote it, for messages.
    QString Address() const;
};

/// True when Port names a network line (it contains "://"), valid or not.
bool IsNetPortName(const QString &Port);

/// Splits a network port name. False with Problem set (an English sentence naming what is
/// wrong, e.g. the unknown scheme) when Port is no valid network name.
bool ParseNetPortName(const QString &Port, TNetPortName &Name, QString *Problem = nullptr);
