#pragma once
// Line-setting vocabulary of the serial component: enumerations, small bit sets and the
// handler types that the port and its clients share.

#include <QtGlobal>
#include <functional>
#include <initializer_list>

class QObject;

/// A set of enumeration members held as bits (member ordinal n is bit n).
template <typename E, typename Bits = quint16>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> members)
    {
        for (E m : members)
            FBits |= Bit(m);
    }
    static constexpr TSet FromBits(Bits bits)
    {
        TSet s;
        s.FBits = bits;
        return s;
    }
    constexpr Bits ToBits() const { return FBits; }
    constexpr bool Contains(E m) const { return (FBits & Bit(m)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet &Include(E m) { FBits |= Bit(m); return *this; }
    constexpr TSet &Exclude(E m) { FBits &= Bits(~Bit(m)); return *this; }
    constexpr TSet operator|(TSet o) const { return FromBits(Bits(FBits | o.FBits)); }
    constexpr TSet operator&(TSet o) const { return FromBits(Bits(FBits & o.FBits)); }
    constexpr bool operator==(const TSet &) const = default;

private:
    static constexpr Bits Bit(E m) { return Bits(Bits(1) << static_cast<int>(m)); }
    Bits FBits = 0;
};

enum TBaudRate : quint8 {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
    br38400, br56000, br57600, br115200, br128000, br256000
};
enum TStopBits : quint8 { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits : quint8 { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits : quint8 { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : quint8 { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : quint8 { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl : quint8 { fcHardware, fcSoftware, fcNone, fcCustom };

/// Modem input lines.
enum TComSignal : quint8 { csCTS, csDSR, csRing, csRLSD };
using TComSignals = TSet<TComSignal, quint8>;

/// Transmission state flags.
enum TComStateFlag : quint8 { fCtlHold, fDsrHold, fRlsHold, fXoffHold, fXOffSent, fEof, fTxim };
using TComStateFlags = TSet<TComStateFlag, quint8>;

/// Line events watched while a port is open.
enum TComEvent : quint8 {
    evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full
};
using TComEvents = TSet<TComEvent, quint16>;
inline constexpr TComEvents AllComEvents{evRxChar, evTxEmpty, evRxFlag, evRing, evBreak,
                                         evCTS, evDSR, evError, evRLSD, evRx80Full};

/// How line events reach the application.
enum TSyncMethod : quint8 { smThreadSync, smWindowSync, smNone };

/// Priority of the event thread (mirrors QThread::Priority).
enum TThreadPriority : quint8 {
    tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical
};

/// Where and which settings are persisted.
enum TStoreType : quint8 { stRegistry, stIniFile };
enum TStoredProp : quint8 { spBasic, spFlowControl, spBuffer, spTimeouts, spParity, spOthers };
using TStoredProps = TSet<TStoredProp, quint8>;

/// What an asynchronous record last started.
enum TOperationKind : quint8 { okWrite, okRead };

/// Line errors reported by the driver.
enum TComError : quint8 { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
using TComErrors = TSet<TComError, quint8>;

/// Running totals of the driver's receive errors.
struct TLineErrorCounts {
    quint64 Frame = 0, Overrun = 0, Parity = 0, Break = 0, BufferOverrun = 0;
};

/// Handler types. Sender is the port. An empty function means "not assigned".
using TNotifyEvent = std::function<void(QObject *Sender)>;
using TRxCharEvent = std::function<void(QObject *Sender, int Count)>;
using TRxBufEvent = std::function<void(QObject *Sender, const void *Buffer, int Count)>;
using TComErrorEvent = std::function<void(QObject *Sender, TComErrors Errors)>;
using TComSignalEvent = std::function<void(QObject *Sender, bool OnOff)>;
