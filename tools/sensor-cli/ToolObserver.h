#pragma once
// What tq-sensor watches of every transaction: the traces asked for (a file, standard error),
// and the start and end of each calibration run for the status block.

#include "protocol/ExchangeObserver.h"

#include <vector>

class TConsole;
class TExchangeTrace;

class TToolObserver : public TExchangeObserver {
public:
    /// Null entries of `traces` are left out.
    TToolObserver(TConsole &console, std::vector<TExchangeTrace *> traces);

    void RequestSent(const TSensorContext &context, const QByteArray &request, int written, int timeoutMs) override;
    void ExchangeEnded(const TSensorContext &context, const QByteArray &request, const QByteArray &reply,
                       int result) override;
    void ExchangeFailed(const TSensorContext &context, const QByteArray &request, const QString &error) override;
    void BytesDiscarded(const TSensorContext &context, const QByteArray &request, const QByteArray &bytes,
                        TDiscardReason reason) override;

private:
    TConsole &FConsole;
    std::vector<TExchangeTrace *> FTraces;
};
