// Event handlers of the main window: field checks, settings files, About.
#include "app/MainWindow.h"

#include "app/AboutBox.h"
#include "app/FieldDisplay.h"
#include "app/FieldLimits.h"
#include "app/GroupEnable.h"
#include "app/MessageBox.h"

#include <QFileDialog>
#include <QLineEdit>

void TfrmMain::limits_OnEnter(QLineEdit *Sender)
{
    StoreOnEntry(FieldLimitOf(Tag(Sender)), Sender->text());
}

void TfrmMain::limits_OnExit(QLineEdit *Sender)
{
    const FieldLimit &limit = FieldLimitOf(Tag(Sender));
    if (!IsOutOfRange(limit, Sender->text()))
        return; // the text stays exactly as typed
    ShowMessageBox(RangeMessage(limit), QStringLiteral("Ошибка"), QMessageBox::Critical);
    ShowFieldText(Sender, OnEntryText(limit));
}

void TfrmMain::tbSaveClick()
{
    if (sdSave()->exec() != QDialog::Accepted || sdSave()->selectedFiles().isEmpty())
        return;
    SaveSettingsFile(sdSave()->selectedFiles().constFirst(), SettingsFields());
}

void TfrmMain::ToolButton1Click()
{
    if (odOpen()->exec() != QDialog::Accepted || odOpen()->selectedFiles().isEmpty())
        return;
    LoadSettingsFile(odOpen()->selectedFiles().constFirst(), SettingsFields());
}

void TfrmMain::tbAboutClick()
{
    ShowAboutBox();
}
