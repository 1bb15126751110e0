#include "protocol/ExchangeTrace.h"

#include "protocol/Exchange.h"
#include "protocol/FieldText.h"
#include "protocol/Frame.h"
#include "protocol/SensorContext.h"
#include "serial/ComPort.h"
#include "serial/Exception.h"

#include <QFileInfo>

#include <array>
#include <bit>
#include <cmath>

namespace {

constexpr std::array<const char *, 11> CommandNames = {
    "COMM_MODE", "PING", "ID", "SAVE_CONF", "CMD_CAL_ON", "CMD_CAL_OFF", "CMD_SET_CAL_STAB_TIME",
    "CMD_SET_HYST_WIDTH", "CMD_SET_INERT_T_CALIB", "CMD_SET_INERT_T_WORK", "CMD_SET_INP_FLT_TIME",
};

QString ResultText(int result)
{
    switch (result) {
    case ExchangeOk: return QStringLiteral("complete");
    case ExchangeTimedOut: return QStringLiteral("time-out");
    case ExchangeNotSent: return QStringLiteral("not sent");
    }
    return QStringLiteral("result %1").arg(result);
}

quint16 U16At(const QByteArray &bytes, qsizetype at)
{
    return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8);
}

QString DiscardText(TDiscardReason reason)
{
    switch (reason) {
    case drStale: return QStringLiteral("stale, before the request");
    case drLate: return QStringLiteral("late reply to an earlier request");
    case drNotItsAnswer: return QStringLiteral("too short to carry its value");
    }
    return {};
}

/// The value a payload carries for the command, "" when it has none or too few bytes.
QString DecodeValue(quint8 code, const QByteArray &payload)
{
    const qsizetype size = payload.size();
    switch (TCommand(code)) {
    case TCommand::ID:
        if (size < 4)
            return {};
        return QStringLiteral("type 0x%1 firmware 0x%2")
            .arg(U16At(payload, 0), 4, 16, QLatin1Char('0'))
            .arg(U16At(payload, 2), 4, 16, QLatin1Char('0'));
    case TCommand::SAVE_CONF:
        if (size < 1)
            return {};
        return payload[0] == 0 ? QStringLiteral("stored") : QStringLiteral("internal error");
    case TCommand::CMD_SET_HYST_WIDTH: {
        if (size < 4)
            return {};
        const quint32 bits = quint32(U16At(payload, 0)) | quint32(U16At(payload, 2)) << 16;
        const float value = std::bit_cast<float>(bits);
        return std::isfinite(value) ? FormatShortest(value) : QString::number(value);
    }
    case TCommand::CMD_CAL_ON:
    case TCommand::CMD_CAL_OFF:
    case TCommand::CMD_SET_CAL_STAB_TIME:
    case TCommand::CMD_SET_INERT_T_CALIB:
    case TCommand::CMD_SET_INERT_T_WORK:
    case TCommand::CMD_SET_INP_FLT_TIME:
        return size < 2 ? QString() : QString::number(U16At(payload, 0));
    default:
        return {};
    }
}

/// What a whole reply says: "complete" and the value of an ACK, "NAK" for a refusal.
QString ReplyText(const QByteArray &request, const QByteArray &reply)
{
    if (reply.isEmpty() || quint8(reply[0]) != FrameAck)
        return QStringLiteral("NAK");
    // Header: kind and a 16-bit length; the end byte follows the payload.
    const QByteArray payload = reply.mid(ResponsePayload, reply.size() - ResponsePayload - 1);
    const QString value = request.size() >= 4 ? DecodeValue(quint8(request[2]), payload) : QString();
    return value.isEmpty() ? QStringLiteral("complete") : QStringLiteral("complete = ") + value;
}

/// The command's name, and with `value` the value a write sends.
QString RequestName(const QByteArray &request, bool value)
{
    if (request.size() < 4)
        return QStringLiteral("short request");
    const quint8 code = quint8(request[2]);
    if (code >= CommandNames.size())
        return QStringLiteral("code %1").arg(code);
    QString name = QLatin1String(CommandNames[code]);
    const int payload = int(request.size()) - 4;
    if (code == quint8(TCommand::COMM_MODE) && payload == 1)
        name += request[3] ? QStringLiteral(" on") : QStringLiteral(" off");
    else if (code == quint8(TCommand::CMD_CAL_ON) || code == quint8(TCommand::CMD_CAL_OFF))
        name += payload > 0 ? QStringLiteral(" run") : QStringLiteral(" query");
    else if (code >= quint8(TCommand::CMD_SET_CAL_STAB_TIME) && payload == 0)
        name += QStringLiteral(" read");
    else if (code >= quint8(TCommand::CMD_SET_CAL_STAB_TIME))
        name += QStringLiteral(" write ") + (value ? DecodeValue(code, request.mid(3, payload)) : QString());
    return name.trimmed();
}

} // namespace

QString DescribeRequest(const QByteArray &request)
{
    return RequestName(request, true);
}

TExchangeTrace::TExchangeTrace(std::function<void(const QString &line)> sink) : FSink(std::move(sink))
{
    FClock.start();
}

TExchangeTrace::TExchangeTrace(const QString &path) : FFile(path)
{
    // Opening a FIFO or a terminal for writing waits for a reader: the program would hang
    // before it started.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw Exception(QStringLiteral("%1: not a regular file").arg(path));
    if (!FFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text | QIODevice::Unbuffered))
        throw Exception(QStringLiteral("%1: %2").arg(path, FFile.errorString()));
    FClock.start();
}

void TExchangeTrace::RequestSent(const TSensorContext &context, const QByteArray &request, int written, int)
{
    QString what = DescribeRequest(request);
    if (written <= 0)
        what += QLatin1Char(' ') + ResultText(ExchangeNotSent);
    Line(context.ComPort(), '>', request, what);
}

void TExchangeTrace::ExchangeEnded(const TSensorContext &context, const QByteArray &request, const QByteArray &reply,
                                   int result)
{
    if (result == ExchangeNotSent)
        return; // the request line said so already
    const QString outcome = result == ExchangeOk ? ReplyText(request, reply) : ResultText(result);
    Line(context.ComPort(), '<', reply, RequestName(request, false) + QLatin1Char(' ') + outcome);
}

void TExchangeTrace::ExchangeFailed(const TSensorContext &context, const QByteArray &request, const QString &error)
{
    Line(context.ComPort(), '<', {}, RequestName(request, false) + QStringLiteral(" error: ") + error);
}

void TExchangeTrace::BytesDiscarded(const TSensorContext &context, const QByteArray &request, const QByteArray &bytes,
                                    TDiscardReason reason)
{
    if (!FWithDiscarded)
        return;
    Line(context.ComPort(), '<', bytes, RequestName(request, false) + QStringLiteral(" discarded: ") + DiscardText(reason));
}

void TExchangeTrace::Line(const TCustomComPort &port, char direction, const QByteArray &bytes, const QString &what)
{
    std::lock_guard guard(FLock);
    const double ms = double(FClock.nsecsElapsed()) / 1e6;
    const QByteArray hex = bytes.isEmpty() ? QByteArray("-") : bytes.toHex(' ').toUpper();
    const QString line = QStringLiteral("%1 %2 %3 %4 | %5\n")
                             .arg(ms, 12, 'f', 3)
                             .arg(port.Port(), QChar::fromLatin1(direction), QString::fromLatin1(hex), what);
    if (FSink) {
        FSink(line);
        return;
    }
    const QByteArray text = line.toUtf8();
    // A full disk or a size limit: the trace is incomplete, and whoever runs it must hear so.
    if (FFile.write(text) != text.size() && FFailure.isEmpty())
        FFailure = QStringLiteral("%1: %2").arg(FFile.fileName(), FFile.errorString());
}

QString TExchangeTrace::Failure() const
{
    std::lock_guard guard(FLock);
    return FFailure;
}
