#pragma once
// The exchange trace: one line for every request and every reply, written to a file as it
// happens. Each line holds the time in ms since the trace began (monotonic clock), the port,
// the direction (">" to the sensor, "<" from it), the bytes in hex, the decoded command and,
// on reply lines, the transaction's result:
//
//       12.408 /dev/pts/3 > 1B 04 01 17 | PING
//       13.911 /dev/pts/3 < 06 04 00 17 | PING complete
//     1014.020 /dev/pts/4 < - | PING time-out
//
// Bytes thrown away instead of answering a request get a "<" line of their own, with the
// request they were kept from and why:
//
//     1561.300 /dev/pts/4 < 06 06 00 19 00 17 | CMD_SET_INERT_T_CALIB read discarded: late reply to an earlier request

#include "protocol/ExchangeObserver.h"

#include <QElapsedTimer>
#include <QFile>
#include <mutex>

class TCustomComPort;

class TExchangeTrace : public TExchangeObserver {
public:
    /// Creates or truncates the file. Throws Exception with the file's error when it cannot.
    explicit TExchangeTrace(const QString &path);

    void RequestSent(const TSensorContext &context, const QByteArray &request, int written, int timeoutMs) override;
    void ExchangeEnded(const TSensorContext &context, const QByteArray &request, const QByteArray &reply,
                       int result) override;
    void ExchangeFailed(const TSensorContext &context, const QByteArray &request, const QString &error) override;
    void BytesDiscarded(const TSensorContext &context, const QByteArray &request, const QByteArray &bytes,
                        TDiscardReason reason) override;

private:
    void Line(const TCustomComPort &port, char direction, const QByteArray &bytes, const QString &what);

    std::mutex FLock;
    QFile FFile;
    QElapsedTimer FClock;
};

/// The protocol name of a request's command ("PING", "CMD_CAL_ON run", ...), or "code N" for a
/// code the protocol does not know.
QString DescribeRequest(const QByteArray &request);
