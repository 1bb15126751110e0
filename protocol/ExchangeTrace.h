#pragma once
// The exchange trace: one line for every request and every reply, written to a file as it
// happens. Each line holds the time in ms since the trace began (monotonic clock), the port,
// the direction (">" to the sensor, "<" from it), the bytes in hex, the decoded command and,
// on reply lines, the transaction's result with the value a reply carries (or NAK):
//
//       12.408 /dev/pts/3 > 1B 04 01 17 | PING
//       13.911 /dev/pts/3 < 06 04 00 17 | PING complete
//       15.020 /dev/pts/3 > 1B 06 09 28 00 17 | CMD_SET_INERT_T_WORK write 40
//       16.533 /dev/pts/3 < 06 06 00 28 00 17 | CMD_SET_INERT_T_WORK write complete = 40
//       18.140 /dev/pts/3 < 15 04 00 17 | SAVE_CONF NAK
//     1014.020 /dev/pts/4 < - | PING time-out
//
// Bytes thrown away instead of answering a request get a "<" line of their own, with the
// request they were kept from and why:
//
//     1561.300 /dev/pts/4 < 06 06 00 19 00 17 | CMD_SET_INERT_T_CALIB read discarded: late reply to an earlier request

#include "protocol/ExchangeObserver.h"

#include <QElapsedTimer>
#include <QFile>
#include <functional>
#include <mutex>

class TCustomComPort;

class TExchangeTrace : public TExchangeObserver {
public:
    /// Creates or truncates the file. Throws Exception with the file's error when it cannot,
    /// or when the path names something other than a regular file (a FIFO, a device).
    explicit TExchangeTrace(const QString &path);
    /// Hands each line, with its line end, to `sink` instead (called under the trace's lock).
    explicit TExchangeTrace(std::function<void(const QString &line)> sink);

    /// The first write that failed ("path: No space left on device"), else empty.
    QString Failure() const;

    void RequestSent(const TSensorContext &context, const QByteArray &request, int written, int timeoutMs) override;
    void ExchangeEnded(const TSensorContext &context, const QByteArray &request, const QByteArray &reply,
                       int result) override;
    void ExchangeFailed(const TSensorContext &context, const QByteArray &request, const QString &error) override;
    void BytesDiscarded(const TSensorContext &context, const QByteArray &request, const QByteArray &bytes,
                        TDiscardReason reason) override;

    /// Whether discarded bytes are traced (on by default; -v of tq-sensor leaves them out).
    void SetWithDiscarded(bool on) { FWithDiscarded = on; }

private:
    void Line(const TCustomComPort &port, char direction, const QByteArray &bytes, const QString &what);

    mutable std::mutex FLock;
    QFile FFile;
    QString FFailure;
    std::function<void(const QString &)> FSink;
    bool FWithDiscarded = true;
    QElapsedTimer FClock;
};

/// The protocol name of a request's command with the value it writes ("PING", "CMD_CAL_ON run",
/// "CMD_SET_HYST_WIDTH write 7.5", ...), or "code N" for a code the protocol does not know.
QString DescribeRequest(const QByteArray &request);
