#include "app/Application.h"

#include "app/MessageBox.h"
#include "serial/ExceptionDisplay.h"

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
        return false;
    }
}

void InstallExceptionDisplay()
{
    SetExceptionDisplay([](const QString &message) {
        ShowMessageBox(message, QStringLiteral("Level sensor configurator"), QMessageBox::Critical);
    });
}
