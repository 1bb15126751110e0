#include "serial/unix/ParityMarks.h"

void TParityMarkDecoder::SetRule(bool Replace, unsigned char ReplaceChar)
{
    FReplace = Replace;
    FReplaceChar = ReplaceChar;
}

int TParityMarkDecoder::Decode(char *Buffer, int Count)
{
    // The held bytes of a mark come first. Output stops at Count bytes, the rest is held:
    // that only happens for input a terminal does not make, and never holds more than before.
    QByteArray in = FHeld;
    in.append(Buffer, Count);
    FHeld.clear();
    int out = 0;
    const int n = int(in.size());
    for (int i = 0; i < n;) {
        if (out == Count) {
            FHeld = in.mid(i);
            break;
        }
        const unsigned char c = static_cast<unsigned char>(in[i]);
        if (c != 0xFF) {
            Buffer[out++] = char(c);
            ++i;
            continue;
        }
        if (i + 1 >= n) {
            FHeld = in.mid(i);
            break;
        }
        const unsigned char next = static_cast<unsigned char>(in[i + 1]);
        if (next == 0xFF) {
            Buffer[out++] = char(0xFF);
            i += 2;
        } else if (next == 0x00) {
            if (i + 2 >= n) {
                FHeld = in.mid(i);
                break;
            }
            Buffer[out++] = char(FReplace ? FReplaceChar : static_cast<unsigned char>(in[i + 2]));
            i += 3;
        } else {
            // Not a mark the terminal makes: pass the bytes on as they came.
            Buffer[out++] = char(c);
            ++i;
        }
    }
    return out;
}
