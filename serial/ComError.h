#pragma once
// Serial error codes, the exception that carries them, and line-error texts.

#include "serial/ComTypes.h"
#include "serial/Exception.h"

#include <QString>
#include <functional>

/// The serial errors; the member for code n has ordinal n - 1.
enum TComExceptions : quint8 {
    CE_OpenFailed, CE_WriteFailed, CE_ReadFailed, CE_InvalidAsync, CE_PurgeFailed,
    CE_AsyncCheck, CE_SetStateFailed, CE_TimeoutsFailed, CE_SetupComFailed,
    CE_ClearComFailed, CE_ModemStatFailed, CE_EscapeComFailed, CE_TransmitFailed,
    CE_ConnChangeProp, CE_EnumPortsFailed, CE_StoreFailed, CE_LoadFailed, CE_RegFailed,
    CE_LedStateFailed, CE_ThreadCreated, CE_WaitFailed, CE_HasLink, CE_RegError,
    CEPortNotOpen
};

/// Message text of serial error code 1..24 (empty for any other code).
QString ComErrorText(int Code);

/// Failure of a serial port operation.
class EComPort : public Exception {
public:
    /// Message "<text> (Error: <AWinCode>)".
    EComPort(int ACode, int AWinCode);
    /// Plain message; WinCode() is -1.
    static EComPort CreateNoWinCode(int ACode);

    int Code() const { return FCode; }
    /// errno of the failed call, -1 when there was none.
    int WinCode() const { return FWinCode; }

private:
    EComPort(int ACode, int AWinCode, QString message);
    int FWinCode;
    int FCode;
};

/// OnException handler: the facts of a failure, given instead of raising.
using TComExceptionEvent = std::function<void(QObject *Sender, TComExceptions TComException,
                                              const QString &ComportMessage, qint64 WinError,
                                              const QString &WinMessage)>;

/// "<Ok>" or "<ComError:Frame,Parity,...>".
QString ComErrorsToStr(TComErrors Errors);
