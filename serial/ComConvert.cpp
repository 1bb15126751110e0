#include "serial/ComConvert.h"

#include <array>
#include <iterator>

namespace {
const char *const BaudRateTexts[] = {"Custom", "110",   "300",   "600",    "1200",   "2400",
                                     "4800",   "9600",  "14400", "19200",  "38400",  "56000",
                                     "57600",  "115200", "128000", "256000"};
const int BaudRates[] = {0,     110,   300,   600,   1200,   2400,   4800,   9600,
                         14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
const char *const StopBitsTexts[] = {"1", "1.5", "2"};
const char *const DataBitsTexts[] = {"5", "6", "7", "8"};
const char *const ParityTexts[] = {"None", "Odd", "Even", "Mark", "Space"};
const char *const FlowControlTexts[] = {"Hardware", "Software", "None", "Custom"};

template <typename E, size_t N>
QString ToStr(const char *const (&Table)[N], E Value)
{
    const size_t i = size_t(Value);
    return i < N ? QString::fromLatin1(Table[i]) : QString();
}

template <typename E, size_t N>
E FromStr(const char *const (&Table)[N], const QString &Str, E Fallback)
{
    const QString key = Str.toUpper();
    for (size_t i = 0; i < N; ++i)
        if (key == QString::fromLatin1(Table[i]).toUpper())
            return E(i);
    return Fallback;
}
} // namespace

QString BaudRateToStr(TBaudRate BaudRate) { return ToStr(BaudRateTexts, BaudRate); }
QString StopBitsToStr(TStopBits StopBits) { return ToStr(StopBitsTexts, StopBits); }
QString DataBitsToStr(TDataBits DataBits) { return ToStr(DataBitsTexts, DataBits); }
QString ParityToStr(TParityBits Parity) { return ToStr(ParityTexts, Parity); }
QString FlowControlToStr(TFlowControl FlowControl) { return ToStr(FlowControlTexts, FlowControl); }

TBaudRate StrToBaudRate(const QString &Str) { return FromStr(BaudRateTexts, Str, br9600); }
TStopBits StrToStopBits(const QString &Str) { return FromStr(StopBitsTexts, Str, sbOneStopBit); }
TDataBits StrToDataBits(const QString &Str) { return FromStr(DataBitsTexts, Str, dbEight); }
TParityBits StrToParity(const QString &Str) { return FromStr(ParityTexts, Str, prNone); }
TFlowControl StrToFlowControl(const QString &Str) { return FromStr(FlowControlTexts, Str, fcCustom); }

int BaudRateValue(TBaudRate BaudRate, int CustomRate)
{
    if (BaudRate == brCustom)
        return CustomRate;
    const size_t i = size_t(BaudRate);
    return i < std::size(BaudRates) ? BaudRates[i] : 9600;
}
