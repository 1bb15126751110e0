#include "protocol/Commands.h"

#include "protocol/Exchange.h"
#include "protocol/FieldText.h"
#include "protocol/SensorContext.h"
#include "protocol/Timer.h"

#include <limits>

namespace {

const QString ErrorCaption = QStringLiteral("Error");

void ShowCommandError(TSensorContext &context, const char *name, const char *what)
{
    context.ErrorBox(QStringLiteral("Ошибка при команде %1: %2").arg(QLatin1String(name), QString::fromUtf8(what)),
                      ErrorCaption);
}

void ShowFailed(TSensorContext &context, const char *name)
{
    ShowCommandError(context, name, "ошибка выполнения команды.");
}

void ShowNak(TSensorContext &context, const char *name)
{
    ShowCommandError(context, name, "получен негативный ответ.");
}

/// Puts the timer's interval back when Restore is called or the command ends, also by an
/// exception.
class TIntervalGuard {
public:
    explicit TIntervalGuard(TTimer &timer) : FTimer(timer), FSaved(timer.Interval()) {}
    ~TIntervalGuard() { Restore(); }
    void Restore() { FTimer.SetInterval(FSaved); }
    TIntervalGuard(const TIntervalGuard &) = delete;
    TIntervalGuard &operator=(const TIntervalGuard &) = delete;

private:
    TTimer &FTimer;
    int FSaved;
};

/// Evaluates a transaction; `show` takes the reply on success. The transaction took only a
/// frame that can answer the command, so an ACK holds the command's value (CanAnswer).
template <typename Show>
int Evaluate(TSensorContext &context, const char *name, int result, const TReplyBuffer &reply, Show show)
{
    if (result != ExchangeOk) {
        ShowFailed(context, name);
        return result;
    }
    if (reply[0] != FrameAck) {
        ShowNak(context, name);
        return -1;
    }
    show(reply);
    return 0;
}

/// Runs a command's transaction and evaluates it.
template <typename Show>
int ValueCommand(TSensorContext &context, const char *name, const QByteArray &request, Show show)
{
    TReplyBuffer reply;
    quint32 count = 0;
    const int result = Exchange(context, request, reply, count);
    return Evaluate(context, name, result, reply, show);
}

/// Shows the u16 of an ACK in field.
auto ShowU16In(TSensorContext &context, TDeviceField field)
{
    return [&context, field](const TReplyBuffer &reply) {
        context.SetFieldText(field, FormatU16(ReadU16(reply.data() + ResponsePayload)));
    };
}

int U16Parameter(TSensorContext &context, TCommand code, const char *name, TDeviceField field, bool write)
{
    QByteArray payload;
    if (write)
        payload = U16Bytes(quint16(StrToInt(context.FieldText(field))));
    return ValueCommand(context, name, BuildRequest(code, payload), ShowU16In(context, field));
}

int Calibration(TSensorContext &context, TCommand code, const char *name, TDeviceField field, bool run)
{
    TTimer &timer = context.TimeoutTimer();
    TIntervalGuard guard(timer);
    QByteArray payload;
    if (run) {
        // The sensor answers a run once it has averaged; that answer then gets the period any
        // other reply gets, so a sensor that is slow to answer calibrates as well as it reads.
        // A negative averaging time left in the field counts as none.
        const qint64 averaging = qMax<qint64>(StrToInt(context.FieldText(dfCalTime)), 0);
        timer.SetInterval(int(qMin<qint64>(averaging + timer.Interval(), std::numeric_limits<int>::max())));
        payload = QByteArray(1, '\1');
    }
    TReplyBuffer reply;
    quint32 count = 0;
    const int result = Exchange(context, BuildRequest(code, payload), reply, count);
    // Back before any box: the calibration's long wait must not outlive the transaction.
    guard.Restore();
    return Evaluate(context, name, result, reply, ShowU16In(context, field));
}

} // namespace

int DevCommMode(TSensorContext &context, quint8 mode)
{
    TTimer &timer = context.TimeoutTimer();
    TIntervalGuard guard(timer);
    timer.SetInterval(50);
    TReplyBuffer reply;
    quint32 count = 0;
    Exchange(context, BuildRequest(TCommand::COMM_MODE, QByteArray(1, char(mode))), reply, count);
    return 0;
}

int DevId(TSensorContext &context, quint16 &devType, quint16 &firmware)
{
    return ValueCommand(context, "ID", BuildRequest(TCommand::ID), [&](const TReplyBuffer &reply) {
        devType = ReadU16(reply.data() + ResponsePayload);
        firmware = ReadU16(reply.data() + ResponsePayload + 2);
    });
}

int DevSaveConf(TSensorContext &context)
{
    bool stored = false;
    const int result = ValueCommand(context, "SAVE_CONF", BuildRequest(TCommand::SAVE_CONF),
                                    [&](const TReplyBuffer &reply) { stored = reply[ResponsePayload] == 0; });
    if (result != 0)
        return result;
    if (!stored) {
        ShowCommandError(context, "SAVE_CONF", "внутренняя ошибка устройства.");
        return -1;
    }
    return 0;
}

int DevInertTWork(TSensorContext &context, bool write)
{
    return U16Parameter(context, TCommand::CMD_SET_INERT_T_WORK, "CMD_SET_INERT_T_WORK", dfInertWork, write);
}

int DevInertTCalib(TSensorContext &context, bool write)
{
    return U16Parameter(context, TCommand::CMD_SET_INERT_T_CALIB, "CMD_SET_INERT_T_CALIB", dfInertCalib, write);
}

int DevCalStabTime(TSensorContext &context, bool write)
{
    return U16Parameter(context, TCommand::CMD_SET_CAL_STAB_TIME, "CMD_SET_CAL_STAB_TIME", dfCalTime, write);
}

int DevInpFltTime(TSensorContext &context, bool write)
{
    return U16Parameter(context, TCommand::CMD_SET_INP_FLT_TIME, "CMD_SET_INP_FLT_TIME", dfInpFlt, write);
}

int DevHystWidth(TSensorContext &context, bool write)
{
    QByteArray payload;
    if (write)
        payload = FloatBytes(StrToSingle(context.FieldText(dfHystWidth))); // never NaN or infinite
    return ValueCommand(context, "CMD_SET_HYST_WIDTH", BuildRequest(TCommand::CMD_SET_HYST_WIDTH, payload),
                        [&context](const TReplyBuffer &reply) {
                            context.SetFieldText(dfHystWidth, FormatReal(ReadFloat(reply.data() + ResponsePayload)));
                        });
}

int DevCalOn(TSensorContext &context, bool run)
{
    return Calibration(context, TCommand::CMD_CAL_ON, "CMD_CAL_ON", dfCalOn, run);
}

int DevCalOff(TSensorContext &context, bool run)
{
    return Calibration(context, TCommand::CMD_CAL_OFF, "CMD_CAL_OFF", dfCalOff, run);
}
