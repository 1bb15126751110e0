#pragma once
// The simulated sensor's state and its answer to one request frame. No I/O and no waiting:
// the caller sends the reply after the work time the answer asks for.

#include "tools/SensorOptions.h"

#include <QByteArray>
#include <random>

/// The sensor's parameters, as it stores them.
struct TSensorParams {
    quint16 InertWork = 25;
    quint16 InpFlt = 100;
    float HystWidth = 5.0f;
    quint16 InertCalib = 100;
    quint16 CalTime = 25000;

    bool operator==(const TSensorParams &) const = default;
};

struct TSensorAnswer {
    QByteArray Reply; ///< the whole reply frame
    int WorkMs = 0;   ///< how long the sensor works before it answers (a calibration run)
};

class TSensorModel {
public:
    explicit TSensorModel(const TSensorOptions &options);

    /// The answer to one whole request frame (ESC, length, code, payload, ETB). Unknown codes
    /// and payloads of the wrong size are refused with NAK.
    TSensorAnswer Answer(const QByteArray &request);

    const TSensorParams &Params() const { return FParams; }
    /// What the last SAVE_CONF stored (the factory set until then).
    const TSensorParams &Saved() const { return FSaved; }
    quint16 CalOn() const { return FCalOn; }
    quint16 CalOff() const { return FCalOff; }
    bool CommMode() const { return FCommMode; }

private:
    TSensorAnswer Calibrate(quint16 &result, quint16 level, bool run);

    TSensorOptions FOptions;
    TSensorParams FParams;
    TSensorParams FSaved;
    quint16 FCalOn = 3124;
    quint16 FCalOff = 1187;
    bool FCommMode = false;
    std::minstd_rand FNoise{20240611};
};

/// Reply frames: ACK with a payload, and the plain NAK.
QByteArray AckFrame(const QByteArray &payload = {});
QByteArray NakFrame();
