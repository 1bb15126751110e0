#include "serial/win/WinDcb.h"

#include "serial/win/WinQueueSize.h"

DCB BuildDcb(const TLineSettings &S, const DCB &Current)
{
    DCB d{};
    d.DCBlength = sizeof(DCB);
    d.BaudRate = DWORD(S.BaudRate);
    d.fBinary = 1;
    d.fParity = S.ParityCheck ? 1 : 0;
    d.fOutxCtsFlow = S.RtsCtsFlow ? 1 : 0;
    d.fDtrControl = S.Dtr < 0 ? Current.fDtrControl : S.Dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    d.fRtsControl = S.RtsCtsFlow ? RTS_CONTROL_HANDSHAKE
                    : S.Rts < 0  ? Current.fRtsControl
                    : S.Rts      ? RTS_CONTROL_ENABLE
                                 : RTS_CONTROL_DISABLE;
    d.fOutX = S.XonXoffOut ? 1 : 0;
    d.fInX = S.XonXoffIn ? 1 : 0;
    d.fErrorChar = S.ParityCheck && S.ParityReplace ? 1 : 0;
    d.ErrorChar = d.fErrorChar ? char(S.ReplaceChar) : 0;
    d.XonLim = d.XoffLim = WORD(WinQueueSize / 4);
    d.ByteSize = BYTE(S.DataBits);
    d.Parity = BYTE(S.Parity); // prNone..prSpace are NOPARITY..SPACEPARITY
    // 1.5 and 2 stop bits share one setting; five data bits only take 1.5.
    d.StopBits = !S.TwoStopBits ? ONESTOPBIT : S.DataBits == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    d.XonChar = char(S.XonChar);
    d.XoffChar = char(S.XoffChar);
    return d;
}

bool SameLine(const DCB &W, const DCB &G)
{
    return W.BaudRate == G.BaudRate && W.ByteSize == G.ByteSize && W.Parity == G.Parity
           && W.StopBits == G.StopBits && W.fParity == G.fParity && W.fOutxCtsFlow == G.fOutxCtsFlow
           && W.fRtsControl == G.fRtsControl && W.fDtrControl == G.fDtrControl
           && W.fOutX == G.fOutX && W.fInX == G.fInX
           && (!(W.fOutX || W.fInX) || (W.XonChar == G.XonChar && W.XoffChar == G.XoffChar));
}
