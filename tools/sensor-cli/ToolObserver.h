#pragma once
// What tq-sensor watches of every transaction: the trace file, if asked for, and the start and
// end of each calibration run for the status line.

#include "protocol/ExchangeObserver.h"

class TConsole;
class TExchangeTrace;

class TToolObserver : public TExchangeObserver {
public:
    /// `trace` may be null.
    TToolObserver(TConsole &console, TExchangeTrace *trace);

    void RequestSent(const TSensorContext &context, const QByteArray &request, int written, int timeoutMs) override;
    void ExchangeEnded(const TSensorContext &context, const QByteArray &request, const QByteArray &reply,
                       int result) override;
    void ExchangeFailed(const TSensorContext &context, const QByteArray &request, const QString &error) override;
    void BytesDiscarded(const TSensorContext &context, const QByteArray &request, const QByteArray &bytes,
                        TDiscardReason reason) override;

private:
    TConsole &FConsole;
    TExchangeTrace *FTrace;
};
