#include "protocol/Commands.h"

#include "protocol/DeviceHost.h"
#include "protocol/Exchange.h"
#include "protocol/FieldText.h"
#include "protocol/Timer.h"

#include <limits>

namespace {

const QString ErrorCaption = QStringLiteral("Error");

void ShowCommandError(const char *name, const char *what)
{
    frmMain->ErrorBox(QStringLiteral("Ошибка при команде %1: %2").arg(QLatin1String(name), QString::fromUtf8(what)),
                      ErrorCaption);
}

void ShowFailed(const char *name)
{
    ShowCommandError(name, "ошибка выполнения команды.");
}

void ShowNak(const char *name)
{
    ShowCommandError(name, "получен негативный ответ.");
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
int Evaluate(const char *name, int result, const TReplyBuffer &reply, Show show)
{
    if (result != ExchangeOk) {
        ShowFailed(name);
        return result;
    }
    if (reply[0] != FrameAck) {
        ShowNak(name);
        return -1;
    }
    show(reply);
    return 0;
}

/// Runs a command's transaction and evaluates it.
template <typename Show>
int ValueCommand(const char *name, const QByteArray &request, Show show)
{
    TReplyBuffer reply;
    quint32 count = 0;
    const int result = Exchange(request, reply, count);
    return Evaluate(name, result, reply, show);
}

/// Shows the u16 of an ACK in field.
auto ShowU16In(TDeviceField field)
{
    return [field](const TReplyBuffer &reply) {
        frmMain->SetFieldText(field, FormatU16(ReadU16(reply.data() + ResponsePayload)));
    };
}

int U16Parameter(TCommand code, const char *name, TDeviceField field, bool write)
{
    QByteArray payload;
    if (write)
        payload = U16Bytes(quint16(StrToInt(frmMain->FieldText(field))));
    return ValueCommand(name, BuildRequest(code, payload), ShowU16In(field));
}

int Calibration(TCommand code, const char *name, TDeviceField field, bool run)
{
    TTimer &timer = frmMain->TimeoutTimer();
    TIntervalGuard guard(timer);
    QByteArray payload;
    if (run) {
        // The sensor answers a run once it has averaged; that answer then gets the period any
        // other reply gets, so a sensor that is slow to answer calibrates as well as it reads.
        // A negative averaging time left in the field counts as none.
        const qint64 averaging = qMax<qint64>(StrToInt(frmMain->FieldText(dfCalTime)), 0);
        timer.SetInterval(int(qMin<qint64>(averaging + timer.Interval(), std::numeric_limits<int>::max())));
        payload = QByteArray(1, '\1');
    }
    TReplyBuffer reply;
    quint32 count = 0;
    const int result = Exchange(BuildRequest(code, payload), reply, count);
    // Back before any box: the calibration's long wait must not outlive the transaction.
    guard.Restore();
    return Evaluate(name, result, reply, ShowU16In(field));
}

} // namespace

int DevCommMode(quint8 mode)
{
    TTimer &timer = frmMain->TimeoutTimer();
    TIntervalGuard guard(timer);
    timer.SetInterval(50);
    TReplyBuffer reply;
    quint32 count = 0;
    Exchange(BuildRequest(TCommand::COMM_MODE, QByteArray(1, char(mode))), reply, count);
    return 0;
}

int DevId(quint16 &devType, quint16 &firmware)
{
    return ValueCommand("ID", BuildRequest(TCommand::ID), [&](const TReplyBuffer &reply) {
        devType = ReadU16(reply.data() + ResponsePayload);
        firmware = ReadU16(reply.data() + ResponsePayload + 2);
    });
}

int DevSaveConf()
{
    bool stored = false;
    const int result = ValueCommand("SAVE_CONF", BuildRequest(TCommand::SAVE_CONF),
                                    [&](const TReplyBuffer &reply) { stored = reply[ResponsePayload] == 0; });
    if (result != 0)
        return result;
    if (!stored) {
        ShowCommandError("SAVE_CONF", "внутренняя ошибка устройства.");
        return -1;
    }
    return 0;
}

int DevInertTWork(bool write)
{
    return U16Parameter(TCommand::CMD_SET_INERT_T_WORK, "CMD_SET_INERT_T_WORK", dfInertWork, write);
}

int DevInertTCalib(bool write)
{
    return U16Parameter(TCommand::CMD_SET_INERT_T_CALIB, "CMD_SET_INERT_T_CALIB", dfInertCalib, write);
}

int DevCalStabTime(bool write)
{
    return U16Parameter(TCommand::CMD_SET_CAL_STAB_TIME, "CMD_SET_CAL_STAB_TIME", dfCalTime, write);
}

int DevInpFltTime(bool write)
{
    return U16Parameter(TCommand::CMD_SET_INP_FLT_TIME, "CMD_SET_INP_FLT_TIME", dfInpFlt, write);
}

int DevHystWidth(bool write)
{
    QByteArray payload;
    if (write)
        payload = FloatBytes(StrToSingle(frmMain->FieldText(dfHystWidth))); // never NaN or infinite
    return ValueCommand("CMD_SET_HYST_WIDTH", BuildRequest(TCommand::CMD_SET_HYST_WIDTH, payload),
                        [](const TReplyBuffer &reply) {
                            frmMain->SetFieldText(dfHystWidth, FormatReal(ReadFloat(reply.data() + ResponsePayload)));
                        });
}

int DevCalOn(bool run)
{
    return Calibration(TCommand::CMD_CAL_ON, "CMD_CAL_ON", dfCalOn, run);
}

int DevCalOff(bool run)
{
    return Calibration(TCommand::CMD_CAL_OFF, "CMD_CAL_OFF", dfCalOff, run);
}
