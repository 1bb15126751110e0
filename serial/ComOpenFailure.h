#pragma once
// Why a device would not open, as far as the system shows it, so that a program can tell its
// user the cause and the remedy rather than only the error number.

#include <QString>
#include <QStringList>

struct TComOpenFailure {
    enum TReason {
        ofOther,         ///< nothing more is known than Error
        ofNoPermission,  ///< the user may not open the device
        ofBusy,          ///< another program (or port object) holds the device
        ofGone,          ///< there is no such device (any more)
        ofNotTerminal,   ///< the path is not a serial device
        // Network lines (rfc2217://, tcp://); DevicePath is then "HOST:PORT".
        ofBadName,       ///< the name is no valid network name; ServerText says why
        ofRefused,       ///< nothing listens at HOST:PORT
        ofUnknownHost,   ///< HOST has no address
        ofNoAnswer,      ///< HOST:PORT did not answer the connection in time
        ofNotRfc2217,    ///< connected, but the server does not speak the com-port option
        ofServerBusy,    ///< the server said its line is in use (ServerText) and closed
        ofServerClosed,  ///< the server closed the connection while it was being set up
    };
    TReason Reason = ofOther;
    int Error = 0;             ///< the errno of the open
    QString DevicePath;        ///< the path that was opened
    // ofNoPermission:
    QString Group;             ///< the group that owns the device; empty when unknown
    QString User;              ///< the user the program runs as
    bool UserInGroup = false;  ///< the group lists the user already...
    bool SessionInGroup = false; ///< ...and this login session has it too
    // ofBusy:
    QStringList Holders;       ///< programs that have the device open, "minicom (pid 4242)"
    // ofServerBusy, ofBadName:
    QString ServerText;        ///< the server's own words ("Port already in use"), or the problem
};

/// Looks at why Port (a name as the port object takes it) failed to open with Error.
TComOpenFailure DiagnoseOpenFailure(const QString &Port, int Error);
