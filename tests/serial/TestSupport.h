#pragma once
// Small helpers shared by the serial tests.

#include "serial/ComError.h"
#include "serial/ComPort.h"

#include <QElapsedTimer>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

/// Runs Action and returns the EComPort it raised; fails the test when it raised none.
inline EComPort ExpectComError(const std::function<void()> &Action)
{
    try {
        Action();
    } catch (const EComPort &e) {
        return e;
    }
    ADD_FAILURE() << "no EComPort raised";
    return EComPort::CreateNoWinCode(0);
}

/// Waits (hang guard 5 s) until the port's input queue holds at least Count bytes:
/// a pseudo-terminal hands bytes over to the other side asynchronously.
inline bool WaitQueued(TCustomComPort &Port, int Count)
{
    QElapsedTimer t;
    t.start();
    while (Port.InputCount() < Count) {
        if (t.elapsed() > 5000)
            return false;
        QThread::msleep(1);
    }
    return true;
}
