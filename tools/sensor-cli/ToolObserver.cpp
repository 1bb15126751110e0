#include "tools/sensor-cli/ToolObserver.h"

#include "protocol/ExchangeTrace.h"
#include "protocol/FieldText.h"
#include "protocol/Frame.h"
#include "protocol/SensorContext.h"
#include "serial/ComPort.h"
#include "tools/sensor-cli/Console.h"

namespace {
/// A calibration run: CMD_CAL_ON or CMD_CAL_OFF with its payload.
bool IsCalibrationRun(const QByteArray &request)
{
    return request.size() == 5
        && (quint8(request[2]) == quint8(TCommand::CMD_CAL_ON) || quint8(request[2]) == quint8(TCommand::CMD_CAL_OFF));
}
} // namespace

TToolObserver::TToolObserver(TConsole &console, std::vector<TExchangeTrace *> traces) : FConsole(console)
{
    for (TExchangeTrace *trace : traces)
        if (trace)
            FTraces.push_back(trace);
}

void TToolObserver::RequestSent(const TSensorContext &context, const QByteArray &request, int written, int timeoutMs)
{
    for (TExchangeTrace *trace : FTraces)
        trace->RequestSent(context, request, written, timeoutMs);
    if (written > 0 && IsCalibrationRun(request)) {
        // The sensor takes the averaging time it reported back, which is in the field now.
        qint64 expected = timeoutMs;
        try {
            expected = StrToInt(context.FieldText(dfCalTime));
        } catch (const EConvertError &) {
        }
        FConsole.BeginWait(context.ComPort().Port(), expected);
    }
}

void TToolObserver::ExchangeEnded(const TSensorContext &context, const QByteArray &request, const QByteArray &reply,
                                  int result)
{
    for (TExchangeTrace *trace : FTraces)
        trace->ExchangeEnded(context, request, reply, result);
    if (IsCalibrationRun(request))
        FConsole.EndWait(context.ComPort().Port());
}

void TToolObserver::ExchangeFailed(const TSensorContext &context, const QByteArray &request, const QString &error)
{
    for (TExchangeTrace *trace : FTraces)
        trace->ExchangeFailed(context, request, error);
    if (IsCalibrationRun(request))
        FConsole.EndWait(context.ComPort().Port());
}

void TToolObserver::BytesDiscarded(const TSensorContext &context, const QByteArray &request, const QByteArray &bytes,
                                   TDiscardReason reason)
{
    for (TExchangeTrace *trace : FTraces)
        trace->BytesDiscarded(context, request, bytes, reason);
}
