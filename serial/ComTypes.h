#pragma once
// Line-setting vocabulary of the serial component: enumerations, small bit sets and the
// handler types that the port and its clients share.

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <initializer_list>
#include <type_traits>
#include <utility>

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

/// Told whenever one of its handlers is assigned or cleared.
class TComHandlerOwner {
public:
    virtual void HandlerChanged() = 0;

protected:
    ~TComHandlerOwner() = default;
};

/// A port's line-event handler: the function type F that also tells, from any thread,
/// whether it is assigned. The event thread asks so that it can leave the port's thread
/// alone when a batch has no one to hear it; reading the function itself there would race
/// with an assignment on the port's thread. Each assignment tells the owner, so that the
/// port can widen or narrow what its event thread waits for.
template <typename F>
class TComHandler : public F {
public:
    TComHandler() = default;
    TComHandler(const TComHandler &Other) : F(static_cast<const F &>(Other)) { Sync(); }
    template <typename G, typename = std::enable_if_t<!std::is_same_v<std::decay_t<G>, TComHandler>>>
    TComHandler(G &&Fn) : F(std::forward<G>(Fn)) { Sync(); }

    TComHandler &operator=(const TComHandler &Other)
    {
        F::operator=(static_cast<const F &>(Other));
        Sync();
        return *this;
    }
    template <typename G, typename = std::enable_if_t<!std::is_same_v<std::decay_t<G>, TComHandler>>>
    TComHandler &operator=(G &&Fn)
    {
        F::operator=(std::forward<G>(Fn));
        Sync();
        return *this;
    }
    /// Swapping would bypass the flag.
    void swap(F &) = delete;

    /// Any thread.
    bool Assigned() const { return FAssigned.load(std::memory_order_acquire); }
    /// The owner stays with the handler: copying a handler copies only the function.
    void SetOwner(TComHandlerOwner *Owner) { FOwner = Owner; }

private:
    void Sync()
    {
        FAssigned.store(bool(static_cast<const F &>(*this)), std::memory_order_release);
        if (FOwner)
            FOwner->HandlerChanged();
    }
    std::atomic<bool> FAssigned{false};
    TComHandlerOwner *FOwner = nullptr;
};
