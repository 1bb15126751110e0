#include "tools/SensorModel.h"

#include "protocol/Frame.h"

#include <algorithm>
#include <cmath>

namespace {

// The sensor's own limits, the same as the configurator's field limits.
constexpr quint16 MinTime = 5;
constexpr float MinHyst = 1.0f;
constexpr float MaxHyst = 50.0f;

QByteArray Frame(quint8 kind, const QByteArray &payload)
{
    QByteArray frame;
    frame.append(char(kind));
    frame.append(U16Bytes(quint16(payload.size() + 4)));
    frame.append(payload);
    frame.append(char(FrameEnd));
    return frame;
}

} // namespace

QByteArray AckFrame(const QByteArray &payload)
{
    return Frame(FrameAck, payload);
}

QByteArray NakFrame()
{
    return Frame(FrameNak, {});
}

TSensorModel::TSensorModel(const TSensorOptions &options) : FOptions(options)
{
}

TSensorAnswer TSensorModel::Answer(const QByteArray &request)
{
    const int code = quint8(request.at(2));
    const QByteArray payload = request.mid(3, request.size() - 4);
    const auto *p = reinterpret_cast<const quint8 *>(payload.constData());
    if (code == FOptions.NakCommand)
        return {NakFrame()};

    auto u16Param = [&](quint16 &value) -> TSensorAnswer {
        if (payload.size() == 2)
            value = FOptions.Clamp ? std::max(ReadU16(p), MinTime) : ReadU16(p);
        else if (!payload.isEmpty())
            return {NakFrame()};
        return {AckFrame(U16Bytes(value))};
    };

    switch (TCommand(code)) {
    case TCommand::COMM_MODE:
        if (payload.size() != 1 || p[0] > 1)
            return {NakFrame()};
        FCommMode = p[0] == 1;
        return {AckFrame()};
    case TCommand::PING:
        return {payload.isEmpty() ? AckFrame() : NakFrame()};
    case TCommand::ID:
        if (!payload.isEmpty())
            return {NakFrame()};
        return {AckFrame(U16Bytes(FOptions.DeviceType) + U16Bytes(FOptions.Firmware))};
    case TCommand::SAVE_CONF:
        if (!payload.isEmpty())
            return {NakFrame()};
        if (FOptions.SaveConfError)
            return {AckFrame(QByteArray(1, '\x02'))};
        FSaved = FParams;
        return {AckFrame(QByteArray(1, '\0'))};
    case TCommand::CMD_CAL_ON:
    case TCommand::CMD_CAL_OFF: {
        if (payload.size() > 1 || (payload.size() == 1 && p[0] != 1))
            return {NakFrame()};
        const bool on = TCommand(code) == TCommand::CMD_CAL_ON;
        return Calibrate(on ? FCalOn : FCalOff, on ? 3100 : 1200, payload.size() == 1);
    }
    case TCommand::CMD_SET_CAL_STAB_TIME:
        return u16Param(FParams.CalTime);
    case TCommand::CMD_SET_INERT_T_CALIB:
        return u16Param(FParams.InertCalib);
    case TCommand::CMD_SET_INERT_T_WORK:
        return u16Param(FParams.InertWork);
    case TCommand::CMD_SET_INP_FLT_TIME:
        return u16Param(FParams.InpFlt);
    case TCommand::CMD_SET_HYST_WIDTH:
        if (payload.size() == 4) {
            float value = ReadFloat(p);
            if (FOptions.Clamp)
                value = std::isnan(value) ? MinHyst : std::clamp(value, MinHyst, MaxHyst);
            FParams.HystWidth = value;
        } else if (!payload.isEmpty()) {
            return {NakFrame()};
        }
        return {AckFrame(FloatBytes(FParams.HystWidth))};
    }
    return {NakFrame()};
}

TSensorAnswer TSensorModel::Calibrate(quint16 &result, quint16 level, bool run)
{
    if (!run)
        return {AckFrame(U16Bytes(result))};
    // Averaging over a longer time gives a steadier value: the scatter shrinks with it.
    std::normal_distribution<double> noise(0.0, 400.0 / std::sqrt(double(FParams.CalTime) + 1.0));
    result = quint16(std::clamp(std::lround(level + noise(FNoise)), 0L, 65535L));
    return {AckFrame(U16Bytes(result)), FParams.CalTime};
}
