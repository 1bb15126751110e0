// Port object: modem lines, line errors and transmission state.

#include "serial/ComBackend.h"
#include "serial/ComPort.h"


void TCustomComPort::ReportLineFailure(quint16 Code, int Err)
{
    if (Err != 0)
        CallException(Code, Err);
}

TComSignals TCustomComPort::Signals()
{
    TComSignals lines;
    const int err = FBackend->ModemLines(FHandle, lines);
    // A device without modem lines (a pseudo-terminal) reads as all lines off.
    if (err != 0 && !(FHandle >= 0 && FBackend->IsUnsupportedByDevice(err)))
        CallException(CE_ModemStatFailed + 1, err);
    return err == 0 ? lines : TComSignals{};
}

TComErrors TCustomComPort::CollectErrors(bool Report)
{
    // Drivers without counters (pseudo-terminals, many USB adapters) report no errors; such a
    // device is asked once per open.
    if (FNoErrorCounts && FHandle >= 0)
        return {};
    TLineErrorCounts now;
    const int err = FBackend->ErrorCounts(FHandle, now);
    if (err != 0) {
        const bool unsupported = FHandle >= 0 && FBackend->IsUnsupportedByDevice(err);
        if (unsupported)
            FNoErrorCounts = true;
        else if (Report)
            CallException(CE_ClearComFailed + 1, err);
        return {};
    }
    TComErrors errors;
    // Counters only grow while the device stays open; a reset one counts as news.
    auto grew = [](quint64 Now, quint64 Before) { return Now != Before; };
    if (grew(now.Frame, FErrorBase.Frame))
        errors.Include(ceFrame);
    if (grew(now.Parity, FErrorBase.Parity) && FParity.Check())
        errors.Include(ceRxParity);
    if (grew(now.Overrun, FErrorBase.Overrun))
        errors.Include(ceOverrun);
    if (grew(now.Break, FErrorBase.Break))
        errors.Include(ceBreak);
    if (grew(now.BufferOverrun, FErrorBase.BufferOverrun))
        errors.Include(ceRxOver);
    FErrorBase = now;
    return errors;
}

TComErrors TCustomComPort::LastErrors()
{
    return CollectErrors(true);
}

TComStateFlags TCustomComPort::StateFlags()
{
    CollectErrors(true);
    TComStateFlags flags;
    // Only a CTS hold can be seen from here: output waits while CTS flow is on and CTS is off.
    if (RtsCtsFlow() && FHandle >= 0) {
        TComSignals lines;
        int queued = 0;
        if (FBackend->ModemLines(FHandle, lines) == 0 && !lines.Contains(csCTS)
            && FBackend->OutputCount(FHandle, queued) == 0 && queued > 0)
            flags.Include(fCtlHold);
    }
    return flags;
}

void TCustomComPort::SetDTR(bool OnOff)
{
    ReportLineFailure(CE_EscapeComFailed + 1, FBackend->SetLine(FHandle, mlDTR, OnOff));
}

void TCustomComPort::SetRTS(bool OnOff)
{
    ReportLineFailure(CE_EscapeComFailed + 1, FBackend->SetLine(FHandle, mlRTS, OnOff));
}

void TCustomComPort::SetXonXoff(bool OnOff)
{
    ReportLineFailure(CE_EscapeComFailed + 1, FBackend->SetFlow(FHandle, OnOff));
}

void TCustomComPort::SetBreak(bool OnOff)
{
    ReportLineFailure(CE_EscapeComFailed + 1, FBackend->SetBreak(FHandle, OnOff));
}

void TCustomComPort::TransmitChar(QChar Ch)
{
    const int err = FBackend->TransmitChar(FHandle, quint8(Ch.unicode() & 0xFF));
    if (err == 0)
        NoteWritten();
    ReportLineFailure(CE_TransmitFailed + 1, err);
}

int TCustomComPort::InputCount()
{
    int count = 0;
    ReportLineFailure(CE_ClearComFailed + 1, FBackend->InputCount(FHandle, count));
    // Asking for the queue also takes the pending line errors, as the driver's status call does.
    CollectErrors(false);
    return count;
}

int TCustomComPort::OutputCount()
{
    int count = 0;
    ReportLineFailure(CE_ClearComFailed + 1, FBackend->OutputCount(FHandle, count));
    CollectErrors(false);
    return count;
}

void TCustomComPort::ClearBuffer(bool Input, bool Output)
{
    const int err = FBackend->Purge(FHandle, Input, Output);
    if (err == 0 && Input)
        NoteConsumed(); // later arrivals must count as new even if the queue is shorter
    ReportLineFailure(CE_PurgeFailed + 1, err);
}
