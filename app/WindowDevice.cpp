// The main window as the sensor protocol sees it: port, timer, fields, boxes, controls.
#include "app/MainWindow.h"

#include "app/FieldDisplay.h"
#include "app/FieldFocus.h"
#include "app/GroupEnable.h"
#include "app/MessageBox.h"
#include "protocol/OpenFailureReason.h"
#include "app/WaitCursor.h"
#include "protocol/SensorContext.h"
#include "serial/ComPort.h"

#include <QGroupBox>
#include <QRegion>
#include <QLineEdit>
#include <QToolButton>

int TfrmMain::ConnectDevice()
{
    return ::ConnectDevice(*FSensor);
}

void TfrmMain::DisconnectDevice()
{
    ::DisconnectDevice(*FSensor);
}

TCustomComPort &TfrmMain::ComPort()
{
    return *cpCOM;
}

TTimer &TfrmMain::TimeoutTimer()
{
    return *tmrTimeout;
}

QLineEdit *TfrmMain::FieldEdit(TDeviceField field) const
{
    switch (field) {
    case dfInertWork: return txtInertWork;
    case dfInpFlt: return txtInpFlt;
    case dfHystWidth: return txtHystWidth;
    case dfInertCalib: return txtInertCalib;
    case dfCalTime: return txtCalTime;
    case dfCalOn: return txtCalOn;
    case dfCalOff: return txtCalOff;
    }
    Q_UNREACHABLE();
    return txtInertWork;
}

QString TfrmMain::FieldText(TDeviceField field) const
{
    return FieldEdit(field)->text();
}

void TfrmMain::SetFieldText(TDeviceField field, const QString &text)
{
    ShowFieldText(FieldEdit(field), text);
}

void TfrmMain::ErrorBox(const QString &text, const QString &caption)
{
    ShowMessageBox(text, caption, QMessageBox::Critical);
}

QString TfrmMain::ChosenPort() const
{
    return ccbPort->Text();
}

void TfrmMain::SetDeviceControlsEnabled(bool Enabled)
{
    // Disabling a control moves the focus on to the next one: the program's move, not the user
    // leaving a field, so it runs no check.
    const TFieldFocus::TProgramMove programMove(*FFieldFocus);
    if (!Enabled)
        FFocusBeforeLock = focusWidget();
    tbUpload->setEnabled(Enabled);
    tbDownload->setEnabled(Enabled);
    SwitchGroupEnabled(Enabled, gbWork);
    SwitchGroupEnabled(Enabled, gbCal);
    // One paint of what changed, before the line work starts.
    QRegion changed;
    for (QWidget *control : {static_cast<QWidget *>(tbUpload), static_cast<QWidget *>(tbDownload),
                             static_cast<QWidget *>(gbWork), static_cast<QWidget *>(gbCal)})
        changed += QRect(control->mapTo(this, QPoint(0, 0)), control->size());
    repaint(changed);
    if (!Enabled) {
        FFocusWhileLocked = focusWidget();
        return;
    }
    // The caret goes back where the user left it, unless the user has put it elsewhere since.
    if (FFocusBeforeLock && focusWidget() == FFocusWhileLocked)
        FFocusBeforeLock->setFocus(Qt::OtherFocusReason);
    FFocusBeforeLock = nullptr;
}

void TfrmMain::SetWaitCursor(bool Wait)
{
    ShowWaitCursor(Wait);
}

void TfrmMain::OpenFailedBox(const QString &Text, const QString &Caption, int Error)
{
    const QString reason = Error > 0 ? OpenFailureReason(DiagnoseOpenFailure(cpCOM->Port(), Error)) : QString();
    ShowMessageBox(Text, Caption, QMessageBox::Critical, reason);
}
