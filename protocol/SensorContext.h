#pragma once
// One conversation with one sensor: what every transaction, command, connection and workflow
// works with. The host behind it (the main window, a tq-sensor port, a test) holds the port,
// the time-out timer, the parameter fields and the boxes; the context adds the time-out state
// and binds the timer's ticks to it.
//
// Threads: a context, its host's port and its timer belong to one thread, the one that runs
// its commands and whose event loop delivers the timer's ticks and the port's input. Any
// number of contexts may share that thread: each has its own port, timer and time-out state,
// so a command of one (also one run from an event handled inside another's wait) sees only its
// own time-outs. Contexts on different threads share nothing.

#include "protocol/DeviceHost.h"

class QObject;
class TConnectionHost;

class TSensorContext {
public:
    /// Binds Host's timer (which must exist) to this context's tmrTimeoutTimer. Host outlives
    /// the context.
    explicit TSensorContext(TDeviceHost &Host);
    /// A context that may also connect (ConnectDevice, DisconnectDevice).
    explicit TSensorContext(TConnectionHost &Host);
    /// Unbinds the timer.
    ~TSensorContext();
    TSensorContext(const TSensorContext &) = delete;
    TSensorContext &operator=(const TSensorContext &) = delete;

    TDeviceHost &Host() const { return FHost; }
    /// Throws std::logic_error for a context made from a plain TDeviceHost.
    TConnectionHost &Connection() const;

    /// The open port the sensor is connected to (cpCOM).
    TCustomComPort &ComPort() const { return FHost.ComPort(); }
    /// The transaction time-out (tmrTimeout).
    TTimer &TimeoutTimer() const { return FHost.TimeoutTimer(); }
    QString FieldText(TDeviceField field) const { return FHost.FieldText(field); }
    void SetFieldText(TDeviceField field, const QString &text) const { FHost.SetFieldText(field, text); }
    void ErrorBox(const QString &text, const QString &caption) const { FHost.ErrorBox(text, caption); }

    /// Set by tmrTimeoutTimer, cleared by each Exchange when its wait starts.
    bool TimedOut = false;

private:
    TDeviceHost &FHost;
    TConnectionHost *const FConnection;
};

/// The tick handler of the context's tmrTimeout: marks the time-out and disables the timer.
void tmrTimeoutTimer(TSensorContext &Context, QObject *Sender);
