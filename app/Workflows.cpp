// The four things the configurator does with the sensor, each inside one connection.
#include "app/MainWindow.h"

#include "app/FieldFocus.h"
#include "protocol/SensorContext.h"
#include "protocol/Workflows.h"

#include <QCoreApplication>
#include <QEvent>

void TfrmMain::RunWorkflow(const std::function<void()> &Commands)
{
    // What the fields hold now is what is sent: no check runs on the way (the toolbar takes no
    // focus, and the focus moves of the connection are no leave).
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
    // The window's update: what is still to be painted is painted now. Repainting all of it
    // would paint again what the unlock has just painted.
    QEvent pending(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(this, &pending);
}

void TfrmMain::RunCalibration(const std::function<void()> &Commands)
{
    // The button took the focus on its press: leaving the field came first, so its check
    // (a range box that puts the value on entry back) runs before the calibration starts,
    // never inside it.
    FFieldFocus->RunPending();
    RunWorkflow(Commands);
}

void TfrmMain::tbUploadClick()
{
    RunWorkflow([this] { ReadSensorCommands(*FSensor); });
}

void TfrmMain::tbDownloadClick()
{
    RunWorkflow([this] { WriteSensorCommands(*FSensor); });
}

void TfrmMain::cmdCalOnClick()
{
    RunCalibration([this] { CalibrateSensorCommands(*FSensor, true); });
}

void TfrmMain::cmdCalOffClick()
{
    RunCalibration([this] { CalibrateSensorCommands(*FSensor, false); });
}
