#include "app/Application.h"
#include "app/MainWindow.h"

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    InstallExceptionDisplay();
    try {
        TfrmMain frmMain;
        frmMain.show();
        return app.exec();
    } catch (...) {
        // The window could not be built or the loop failed: tell the user, then end.
        ShowCurrentException();
        return 1;
    }
}
