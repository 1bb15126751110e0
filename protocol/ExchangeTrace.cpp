#include "protocol/ExchangeTrace.h"

#include "protocol/Exchange.h"
#include "protocol/Frame.h"
#include "protocol/SensorContext.h"
#include "serial/ComPort.h"
#include "serial/Exception.h"

#include <array>

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

QString DiscardText(TDiscardReason reason)
{
    switch (reason) {
    case drStale: return QStringLiteral("stale, before the request");
    case drLate: return QStringLiteral("late reply to an earlier request");
    case drNotItsAnswer: return QStringLiteral("too short to carry its value");
    }
    return {};
}

} // namespace

QString DescribeRequest(const QByteArray &request)
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
    else if (code >= quint8(TCommand::CMD_SET_CAL_STAB_TIME))
        name += payload > 0 ? QStringLiteral(" write") : QStringLiteral(" read");
    return name;
}

TExchangeTrace::TExchangeTrace(const QString &path) : FFile(path)
{
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
    Line(context.ComPort(), '<', reply, DescribeRequest(request) + QLatin1Char(' ') + ResultText(result));
}

void TExchangeTrace::ExchangeFailed(const TSensorContext &context, const QByteArray &request, const QString &error)
{
    Line(context.ComPort(), '<', {}, DescribeRequest(request) + QStringLiteral(" error: ") + error);
}

void TExchangeTrace::BytesDiscarded(const TSensorContext &context, const QByteArray &request, const QByteArray &bytes,
                                    TDiscardReason reason)
{
    Line(context.ComPort(), '<', bytes, DescribeRequest(request) + QStringLiteral(" discarded: ") + DiscardText(reason));
}

void TExchangeTrace::Line(const TCustomComPort &port, char direction, const QByteArray &bytes, const QString &what)
{
    std::lock_guard guard(FLock);
    const double ms = double(FClock.nsecsElapsed()) / 1e6;
    const QByteArray hex = bytes.isEmpty() ? QByteArray("-") : bytes.toHex(' ').toUpper();
    const QString line = QStringLiteral("%1 %2 %3 %4 | %5\n")
                             .arg(ms, 12, 'f', 3)
                             .arg(port.Port(), QChar::fromLatin1(direction), QString::fromLatin1(hex), what);
    FFile.write(line.toUtf8());
}
