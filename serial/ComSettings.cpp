#include "serial/ComSettings.h"

#include "serial/ChangedValue_p.h"
#include "serial/ComPort.h"

// Parity -------------------------------------------------------------------------------

void TComParity::Assign(const TComParity &Source)
{
    FBits = Source.FBits;
    FCheck = Source.FCheck;
    FReplace = Source.FReplace;
    FReplaceChar = Source.FReplaceChar;
}

void TComParity::Changed()
{
    if (FComPort)
        FComPort->ApplyDCB();
}

void TComParity::SetBits(TParityBits Value) { if (Store(FBits, Value)) Changed(); }
void TComParity::SetCheck(bool Value) { if (Store(FCheck, Value)) Changed(); }
void TComParity::SetReplace(bool Value) { if (Store(FReplace, Value)) Changed(); }
void TComParity::SetReplaceChar(QChar Value) { if (Store(FReplaceChar, Value)) Changed(); }

// Flow control ---------------------------------------------------------------------------

void TComFlowControl::Assign(const TComFlowControl &Source)
{
    FOutCTSFlow = Source.FOutCTSFlow;
    FOutDSRFlow = Source.FOutDSRFlow;
    FControlDTR = Source.FControlDTR;
    FControlRTS = Source.FControlRTS;
    FXonXoffOut = Source.FXonXoffOut;
    FXonXoffIn = Source.FXonXoffIn;
    FDSRSensitivity = Source.FDSRSensitivity;
    FTxContinueOnXoff = Source.FTxContinueOnXoff;
    FXonChar = Source.FXonChar;
    FXoffChar = Source.FXoffChar;
}

void TComFlowControl::Changed()
{
    if (FComPort)
        FComPort->ApplyDCB();
}

void TComFlowControl::SetOutCTSFlow(bool Value) { if (Store(FOutCTSFlow, Value)) Changed(); }
void TComFlowControl::SetOutDSRFlow(bool Value) { if (Store(FOutDSRFlow, Value)) Changed(); }
void TComFlowControl::SetControlDTR(TDTRFlowControl Value) { if (Store(FControlDTR, Value)) Changed(); }
void TComFlowControl::SetControlRTS(TRTSFlowControl Value) { if (Store(FControlRTS, Value)) Changed(); }
void TComFlowControl::SetXonXoffOut(bool Value) { if (Store(FXonXoffOut, Value)) Changed(); }
void TComFlowControl::SetXonXoffIn(bool Value) { if (Store(FXonXoffIn, Value)) Changed(); }
void TComFlowControl::SetDSRSensitivity(bool Value) { if (Store(FDSRSensitivity, Value)) Changed(); }
void TComFlowControl::SetTxContinueOnXoff(bool Value) { if (Store(FTxContinueOnXoff, Value)) Changed(); }
void TComFlowControl::SetXonChar(QChar Value) { if (Store(FXonChar, Value)) Changed(); }
void TComFlowControl::SetXoffChar(QChar Value) { if (Store(FXoffChar, Value)) Changed(); }

TFlowControl TComFlowControl::GetFlowControl() const
{
    const bool xon = FXonXoffIn || FXonXoffOut;
    if (FControlRTS == rtsHandshake && FOutCTSFlow && !xon)
        return fcHardware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && FXonXoffIn && FXonXoffOut)
        return fcSoftware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && !xon)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl Value)
{
    if (Value != fcCustom) {
        FControlRTS = rtsDisable;
        FOutCTSFlow = false;
        FXonXoffIn = false;
        FXonXoffOut = false;
        if (Value == fcHardware) {
            FControlRTS = rtsHandshake;
            FOutCTSFlow = true;
        } else if (Value == fcSoftware) {
            FXonXoffIn = true;
            FXonXoffOut = true;
        }
    }
    Changed();
}

// Timeouts -------------------------------------------------------------------------------

void TComTimeouts::Assign(const TComTimeouts &Source)
{
    FReadInterval = Source.FReadInterval;
    FReadTotalMultiplier = Source.FReadTotalMultiplier;
    FReadTotalConstant = Source.FReadTotalConstant;
    FWriteTotalMultiplier = Source.FWriteTotalMultiplier;
    FWriteTotalConstant = Source.FWriteTotalConstant;
}

void TComTimeouts::Changed()
{
    if (FComPort)
        FComPort->ApplyTimeouts();
}

void TComTimeouts::SetReadInterval(int Value) { if (Store(FReadInterval, Value)) Changed(); }
void TComTimeouts::SetReadTotalM(int Value) { if (Store(FReadTotalMultiplier, Value)) Changed(); }
void TComTimeouts::SetReadTotalC(int Value) { if (Store(FReadTotalConstant, Value)) Changed(); }
void TComTimeouts::SetWriteTotalM(int Value) { if (Store(FWriteTotalMultiplier, Value)) Changed(); }
void TComTimeouts::SetWriteTotalC(int Value) { if (Store(FWriteTotalConstant, Value)) Changed(); }

// Buffer ---------------------------------------------------------------------------------

void TComBuffer::Assign(const TComBuffer &Source)
{
    FInputSize = Source.FInputSize;
    FOutputSize = Source.FOutputSize;
}

void TComBuffer::Changed()
{
    if (FComPort)
        FComPort->ApplyBuffer();
}

namespace {
int EvenSize(int Value) { return Value > 0 && Value % 2 != 0 ? Value - 1 : Value; }
} // namespace

void TComBuffer::SetInputSize(int Value)
{
    Store(FInputSize, EvenSize(Value));
    Changed();
}

void TComBuffer::SetOutputSize(int Value)
{
    Store(FOutputSize, EvenSize(Value));
    Changed();
}
