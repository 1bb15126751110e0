#pragma once
// Small helpers shared by the serial tests.

#include "serial/ComError.h"
#include "serial/ComPort.h"

#include <QCoreApplication>
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

/// Polls until Done holds, every PauseUs, without pumping events (hang guard 5 s).
inline bool WaitFor(const std::function<bool()> &Done, unsigned long PauseUs = 200)
{
    QElapsedTimer t;
    t.start();
    while (!Done()) {
        if (t.elapsed() > 5000)
            return false;
        QThread::usleep(PauseUs);
    }
    return true;
}

/// Pumps this thread's events until Done holds (hang guard 5 s).
inline bool PumpUntil(const std::function<bool()> &Done)
{
    return WaitFor(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            return Done();
        },
        1000);
}

/// Waits (hang guard 5 s) until the port's input queue holds at least Count bytes:
/// a pseudo-terminal hands bytes over to the other side asynchronously.
inline bool WaitQueued(TCustomComPort &Port, int Count)
{
    return WaitFor([&] { return Port.InputCount() >= Count; }, 1000);
}
