// The four things the configurator does with the sensor, each inside one connection.
#include "app/MainWindow.h"

#include "app/FieldFocus.h"
#include "protocol/Commands.h"

#include <QCoreApplication>

void TfrmMain::RunWorkflow(const std::function<void()> &Commands)
{
    // A field the click took the focus from gets its range check before anything reads it.
    QCoreApplication::sendPostedEvents(FFieldFocus, QEvent::MetaCall);
    try {
        if (ConnectDevice() != ConnectOk) {
            DisconnectDevice();
            return;
        }
        Commands();
    } catch (...) {
        // A field that does not convert or a line that vanished: end the connection first, or
        // the window would stay locked with the port open. The first failure is the one shown.
        try {
            DisconnectDevice();
        } catch (...) {
        }
        throw;
    }
    DisconnectDevice();
    repaint();
}

void TfrmMain::tbUploadClick()
{
    RunWorkflow([] {
        DevInertTWork(false);
        DevInertTCalib(false);
        DevCalStabTime(false);
        DevInpFltTime(false);
        DevHystWidth(false);
        DevCalOn(false);
        DevCalOff(false);
    });
}

void TfrmMain::tbDownloadClick()
{
    RunWorkflow([] {
        DevInertTWork(true);
        DevInertTCalib(true);
        DevCalStabTime(true);
        DevInpFltTime(true);
        DevHystWidth(true);
        DevSaveConf(); // even after a refused write: the sensor keeps what it did take
    });
}

void TfrmMain::cmdCalOnClick()
{
    // The sensor calibrates with the window's parameters; the wait follows the averaging time
    // the sensor reported back.
    RunWorkflow([] {
        DevInertTCalib(true);
        DevCalStabTime(true);
        DevCalOn(true);
    });
}

void TfrmMain::cmdCalOffClick()
{
    RunWorkflow([] {
        DevInertTCalib(true);
        DevCalStabTime(true);
        DevCalOff(true);
    });
}
