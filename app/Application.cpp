#include "app/Application.h"

#include "app/MessageBox.h"
#include "serial/ExceptionDisplay.h"

#include <csignal>

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // A file-size limit would otherwise end the program in the middle of a save, taking the
    // window's texts with it; ignored, the write fails with EFBIG and the save reports it.
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

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
