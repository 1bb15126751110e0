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

TToolObserver::TToolObserver(TConsole &console, TExchangeTrace *trace) : FConsole(console), FTrace(trace) {}

void TToolObserver::RequestSent(const TSensorContext &context, const QByteArray &request, int written, int timeoutMs)
{
    if (FTrace)
        FTrace->RequestSent(context, request, written, timeoutMs);
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
    if (FTrace)
        FTrace->ExchangeEnded(context, request, reply, result);
    if (IsCalibrationRun(request))
        FConsole.EndWait(context.ComPort().Port());
}

void TToolObserver::ExchangeFailed(const TSensorContext &context, const QByteArray &request, const QString &error)
{
    if (FTrace)
        FTrace->ExchangeFailed(context, request, error);
    if (IsCalibrationRun(request))
        FConsole.EndWait(context.ComPort().Port());
}

void TToolObserver::BytesDiscarded(const TSensorContext &context, const QByteArray &request, const QByteArray &bytes,
                                   TDiscardReason reason)
{
    if (FTrace)
        FTrace->BytesDiscarded(context, request, bytes, reason);
}
