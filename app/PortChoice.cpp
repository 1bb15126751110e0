// The port choice across runs, the refused close during a connection, and the port list that
// follows the machine's ports.
#include "app/MainWindow.h"

#include "app/Application.h"
#include "app/FieldLimits.h"
#include "app/MessageBox.h"
#include "protocol/Exchange.h"
#include "serial/ComPort.h"

#include <QCloseEvent>

const QString PortSettingsKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\BrenholtGroup\\TQ_DEV\\ComPort");

void TfrmMain::FormCreate()
{
    // First, so the table is complete before any field can take the focus.
    FillFieldLimits();

    cpCOM->LoadSettings(stRegistry, PortSettingsKey);
    // Exact names only: a stored name in other letters names another device here.
    for (int i = 0; i < ccbPort->count(); ++i)
        if (ccbPort->itemText(i) == cpCOM->Port())
            ccbPort->setCurrentIndex(i);
    cpCOM->SetPort(ccbPort->Text());
}

void TfrmMain::FormCloseQuery(QObject *, bool &CanClose)
{
    if (cpCOM->Connected()) {
        ShowMessageBox(QStringLiteral("Происходит обмен данными. Дождитесь окончания процесса."),
                       QStringLiteral("Низя!"), QMessageBox::Critical);
        CanClose = false;
        // The exchange waited while the box was up; its silence counts from now.
        RestartTimer(*tmrTimeout);
        return;
    }
    CanClose = true;
}

void TfrmMain::FormClose(QObject *)
{
    cpCOM->SetPort(ccbPort->Text());
    cpCOM->StoreSettings(stRegistry, PortSettingsKey);
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    bool canClose = false;
    RunHandler([&] { FormCloseQuery(this, canClose); });
    if (!canClose) {
        event->ignore();
        return;
    }
    // A store that cannot be written is reported; the window closes all the same.
    RunHandler([this] { FormClose(this); });
    event->accept();
}

void TfrmMain::ccbPortDropDown()
{
    // A port plugged in since the list was made shows up; the chosen one stays chosen.
    const QString chosen = ccbPort->Text();
    ccbPort->SetComProperty(cpPort);
    const int index = ccbPort->findText(chosen, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!chosen.isEmpty() && index >= 0)
        ccbPort->setCurrentIndex(index);
}
