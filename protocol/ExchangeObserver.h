#pragma once
// A watcher of every transaction, for exchange traces and progress displays. None is installed
// by default, and then a transaction does no extra work. The observer is called on the thread
// that runs the transaction, so one observer for several hosts must be thread-safe.

#include <QByteArray>
#include <QString>

class TSensorContext;

/// Why received bytes were thrown away instead of answering a request.
enum TDiscardReason {
    drStale,        ///< they were waiting before the request went out
    drLate,         ///< they came while the line settled after a transaction without its reply
    drNotItsAnswer, ///< a whole ACK too short for the command's value: another command's answer
};

class TExchangeObserver {
public:
    virtual ~TExchangeObserver() = default;

    /// The request went out: `written` bytes of it (0 or less: none, and no reply is awaited);
    /// the wait for the reply lasts up to `timeoutMs` of silence.
    virtual void RequestSent(const TSensorContext &context, const QByteArray &request, int written, int timeoutMs) = 0;

    /// The transaction ended with `result` (ExchangeOk, ExchangeTimedOut, ExchangeNotSent).
    /// `reply` is the whole reply frame when complete, else whatever had arrived.
    virtual void ExchangeEnded(const TSensorContext &context, const QByteArray &request, const QByteArray &reply,
                               int result) = 0;

    /// Bytes came in that answer no request of this transaction (`request`, not yet sent for
    /// drStale and drLate).
    virtual void BytesDiscarded(const TSensorContext &context, const QByteArray &request, const QByteArray &bytes,
                                TDiscardReason reason)
    {
        Q_UNUSED(context) Q_UNUSED(request) Q_UNUSED(bytes) Q_UNUSED(reason)
    }

    /// The port raised `error` during the transaction; the exception goes on to the caller.
    virtual void ExchangeFailed(const TSensorContext &context, const QByteArray &request, const QString &error) = 0;
};

/// Installs the observer of all transactions on every thread (null: none). It must stay alive
/// until it is replaced and no transaction that saw it still runs.
void SetExchangeObserver(TExchangeObserver *observer);
TExchangeObserver *CurrentExchangeObserver();
