// The four things the configurator does with the sensor, each inside one connection.
#include "app/MainWindow.h"

#include "app/FieldFocus.h"
#include "protocol/Workflows.h"

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
    RunWorkflow([] { ReadSensorCommands(); });
}

void TfrmMain::tbDownloadClick()
{
    RunWorkflow([] { WriteSensorCommands(); });
}

void TfrmMain::cmdCalOnClick()
{
    RunWorkflow([] { CalibrateSensorCommands(true); });
}

void TfrmMain::cmdCalOffClick()
{
    RunWorkflow([] { CalibrateSensorCommands(false); });
}
