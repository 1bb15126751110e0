#pragma once
// Internal: input of a terminal that marks bytes received in error (PARMRK): such a byte
// arrives as 0xFF 0x00 byte, a true 0xFF as 0xFF 0xFF. The decoder turns the marked stream
// back into data bytes, each byte in error kept or replaced as the port's settings say.

#include <QByteArray>

class TParityMarkDecoder {
public:
    /// Replace: a byte in error becomes ReplaceChar; otherwise it passes unchanged.
    void SetRule(bool Replace, unsigned char ReplaceChar);
    /// Decodes Count marked bytes in Buffer in place; returns the data bytes now at its
    /// start. A mark cut off at the end is kept for the next call.
    int Decode(char *Buffer, int Count);
    /// Bytes of an unfinished mark held back from the last call.
    int Held() const { return int(FHeld.size()); }
    void Reset() { FHeld.clear(); }

private:
    bool FReplace = false;
    unsigned char FReplaceChar = 0;
    QByteArray FHeld;
};
