#pragma once
// The port's owned setting groups. Each setter stores a changed value and, when the group
// belongs to a port, has the port re-apply the group to the device.

#include "serial/ComTypes.h"

#include <QChar>

class TCustomComPort;

/// Common part: the back reference to the owning port.
class TComSettingsGroup {
public:
    TCustomComPort *ComPort() const { return FComPort; }
    void SetComPort(TCustomComPort *AComPort) { FComPort = AComPort; }

protected:
    TCustomComPort *FComPort = nullptr;
};

class TComParity : public TComSettingsGroup {
public:
    /// Copies every setting field; nothing is re-applied.
    void Assign(const TComParity &Source);

    TParityBits Bits() const { return FBits; }
    bool Check() const { return FCheck; }
    bool Replace() const { return FReplace; }
    QChar ReplaceChar() const { return FReplaceChar; }
    void SetBits(TParityBits Value);
    void SetCheck(bool Value);
    void SetReplace(bool Value);
    void SetReplaceChar(QChar Value);

private:
    void Changed();
    TParityBits FBits = prNone;
    bool FCheck = false;
    bool FReplace = false;
    QChar FReplaceChar{0};
};

class TComFlowControl : public TComSettingsGroup {
public:
    void Assign(const TComFlowControl &Source);

    bool OutCTSFlow() const { return FOutCTSFlow; }
    bool OutDSRFlow() const { return FOutDSRFlow; }
    TDTRFlowControl ControlDTR() const { return FControlDTR; }
    TRTSFlowControl ControlRTS() const { return FControlRTS; }
    bool XonXoffOut() const { return FXonXoffOut; }
    bool XonXoffIn() const { return FXonXoffIn; }
    bool DSRSensitivity() const { return FDSRSensitivity; }
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    QChar XonChar() const { return FXonChar; }
    QChar XoffChar() const { return FXoffChar; }
    void SetOutCTSFlow(bool Value);
    void SetOutDSRFlow(bool Value);
    void SetControlDTR(TDTRFlowControl Value);
    void SetControlRTS(TRTSFlowControl Value);
    void SetXonXoffOut(bool Value);
    void SetXonXoffIn(bool Value);
    void SetDSRSensitivity(bool Value);
    void SetTxContinueOnXoff(bool Value);
    void SetXonChar(QChar Value);
    void SetXoffChar(QChar Value);

    /// Summary of RTS/CTS and XON/XOFF: fcHardware, fcSoftware, fcNone or fcCustom.
    TFlowControl GetFlowControl() const;
    /// Sets the fields of a summary (fcCustom changes none) and re-applies once.
    void SetFlowControl(TFlowControl Value);

private:
    void Changed();
    bool FOutCTSFlow = false;
    bool FOutDSRFlow = false;
    TDTRFlowControl FControlDTR = dtrDisable;
    TRTSFlowControl FControlRTS = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
    bool FDSRSensitivity = false;
    bool FTxContinueOnXoff = false;
    QChar FXonChar{17};
    QChar FXoffChar{19};
};

/// Read and write timeouts in milliseconds; -1 stands for "all bits set" (MAXDWORD).
class TComTimeouts : public TComSettingsGroup {
public:
    void Assign(const TComTimeouts &Source);

    int ReadInterval() const { return FReadInterval; }
    int ReadTotalMultiplier() const { return FReadTotalMultiplier; }
    int ReadTotalConstant() const { return FReadTotalConstant; }
    int WriteTotalMultiplier() const { return FWriteTotalMultiplier; }
    int WriteTotalConstant() const { return FWriteTotalConstant; }
    void SetReadInterval(int Value);
    void SetReadTotalM(int Value);
    void SetReadTotalC(int Value);
    void SetWriteTotalM(int Value);
    void SetWriteTotalC(int Value);

private:
    void Changed();
    int FReadInterval = -1;
    int FReadTotalMultiplier = 0;
    int FReadTotalConstant = 0;
    int FWriteTotalMultiplier = 100;
    int FWriteTotalConstant = 1000;
};

/// Recommended queue sizes. Positive odd sizes are stored one less (sizes stay even).
class TComBuffer : public TComSettingsGroup {
public:
    void Assign(const TComBuffer &Source);

    int InputSize() const { return FInputSize; }
    int OutputSize() const { return FOutputSize; }
    void SetInputSize(int Value);
    void SetOutputSize(int Value);

private:
    void Changed();
    int FInputSize = 1024;
    int FOutputSize = 1024;
};
