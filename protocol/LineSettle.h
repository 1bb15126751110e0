#pragma once
// What a port's line may still bring. A transaction that ended without a reply that is
// certainly its own (a time-out, or a reply taken while an earlier one was still owed) leaves
// that reply owed: it may come late. The next request whose reply is evaluated goes out only
// once the line has been quiet for LateReplyMs, so that the late reply never answers it.

#include <QElapsedTimer>
#include <QObject>

class TCustomComPort;

/// How long after a transaction that ended without its reply the line must have been quiet
/// before a request whose reply is evaluated: a reply up to 500 ms late is caught, with room
/// for a loaded machine.
constexpr int LateReplyMs = 600;

class TLineSettle : public QObject {
    Q_OBJECT // found among the port's children by a cheap cast, once per transaction
public:
    /// The state of the port's line, kept from one transaction to the next. It starts settled
    /// and is settled again when the port closes.
    static TLineSettle &Of(TCustomComPort &port);

    bool Settled() const { return FSettled; }
    /// A reply may still come: the quiet counts from now.
    void Unsettle();
    /// Bytes came in while the line settled: the quiet counts anew from now.
    void Heard() { FQuiet.restart(); }
    /// ms until the line has been quiet long enough; 0 or less once it has.
    qint64 QuietLeft() const { return FSettled ? 0 : LateReplyMs - FQuiet.elapsed(); }
    /// Nothing is owed any more.
    void MarkSettled() { FSettled = true; }

private:
    explicit TLineSettle(TCustomComPort &port);

    bool FSettled = true;
    QElapsedTimer FQuiet;
};
