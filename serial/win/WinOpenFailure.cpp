// Why a COM device would not open, from the error the system gave.

#include "serial/ComOpenFailure.h"
#include "serial/ComPortInfo.h"

#include <windows.h>

TComOpenFailure DiagnoseOpenFailure(const QString &Port, int Error)
{
    TComOpenFailure f;
    f.Error = Error;
    f.DevicePath = ComDevicePath(Port);
    switch (DWORD(Error)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_DEV_NOT_EXIST:
        f.Reason = TComOpenFailure::ofGone;
        break;
    // A COM device that another program holds refuses with "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        f.Reason = TComOpenFailure::ofBusy;
        break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        f.Reason = TComOpenFailure::ofNotTerminal;
        break;
    default:
        break;
    }
    return f;
}
