#pragma once
// The main window as the protocol sees it, for tests: a real port, the time-out timer, the
// seven fields as plain texts, a record of the error boxes, and the context around them.

#include "protocol/DeviceHost.h"
#include "protocol/Exchange.h"
#include "protocol/SensorContext.h"
#include "protocol/Timer.h"
#include "serial/ComPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <functional>

/// The one application object the event loop needs.
inline void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "protocol_tests";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

class TTestHost : public TDeviceHost {
public:
    TTestHost()
    {
        EnsureApplication();
        FFields = {{dfInertWork, "25"}, {dfInpFlt, "100"}, {dfHystWidth, "5"}, {dfInertCalib, "100"},
                   {dfCalTime, "25000"}, {dfCalOn, "0"}, {dfCalOff, "0"}};
    }
    ~TTestHost() override
    {
        FPort.Close();
    }

    /// Opens the port on `path` as a connection does.
    void Open(const QString &path)
    {
        FPort.SetPort(path);
        FPort.SetBaudRate(br9600);
        FPort.Open();
    }

    TCustomComPort &ComPort() override { return FPort; }
    TTimer &TimeoutTimer() override { return FTimer; }
    QString FieldText(TDeviceField field) const override { return FFields.value(field); }
    void SetFieldText(TDeviceField field, const QString &text) override { FFields[field] = text; }
    void ErrorBox(const QString &text, const QString &caption) override
    {
        Boxes << caption + QStringLiteral(": ") + text;
        BoxIntervals << FTimer.Interval();
    }

    QStringList Boxes;       ///< "caption: text" of every error box, in order
    QList<int> BoxIntervals; ///< the time-out interval when each box came up

private:
    TComPort FPort;
    TTimer FTimer;
    QMap<TDeviceField, QString> FFields;

public:
    /// The conversation the commands run in; declared last, as it binds the timer.
    TSensorContext Context{*this};
};

/// Runs `f` from the event loop after `ms`, i.e. from inside a transaction's wait.
inline void During(int ms, std::function<void()> f)
{
    QTimer::singleShot(ms, QCoreApplication::instance(), std::move(f));
}

/// Waits (without an event loop) until `done` holds; false after `ms`. A hang guard only.
inline bool WaitFor(const std::function<bool()> &done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(1);
    }
    return true;
}
