#pragma once
// Byte frames of the sensor link. A request is ESC, a one-byte length, the command code, the
// payload and ETB; a reply is ACK or NAK, a 16-bit little-endian length, the payload and ETB.

#include <QByteArray>
#include <QtGlobal>

constexpr quint8 FrameStart = 27; ///< ESC: first byte of a request
constexpr quint8 FrameEnd = 23;   ///< ETB: last byte of every frame
constexpr quint8 FrameAck = 6;    ///< reply kind: the command was carried out
constexpr quint8 FrameNak = 21;   ///< reply kind: the sensor refuses the command

constexpr quint32 MinResponseLength = 4;
constexpr quint32 MaxResponseLength = 15000;
/// Offset of the first payload byte of a reply.
constexpr int ResponsePayload = 3;

/// The sensor's command codes.
enum class TCommand : quint8 {
    COMM_MODE = 0,
    PING = 1,
    ID = 2,
    SAVE_CONF = 3,
    CMD_CAL_ON = 4,
    CMD_CAL_OFF = 5,
    CMD_SET_CAL_STAB_TIME = 6,
    CMD_SET_HYST_WIDTH = 7,
    CMD_SET_INERT_T_CALIB = 8,
    CMD_SET_INERT_T_WORK = 9,
    CMD_SET_INP_FLT_TIME = 10,
};

/// The whole request frame for a command and its payload (0, 1, 2 or 4 bytes).
QByteArray BuildRequest(TCommand code, const QByteArray &payload = {});

/// Little-endian payload helpers.
QByteArray U16Bytes(quint16 value);
QByteArray FloatBytes(float value);
quint16 ReadU16(const quint8 *at);
float ReadFloat(const quint8 *at);

/// Looks for a whole reply frame in the first `count` bytes of `buffer`. Bytes before the first
/// plausible frame start are dropped (the rest moves to the front and `count` is lowered; it is
/// never raised). Returns 1 when a whole frame stands at offset 0, 0 otherwise; a partial frame
/// is kept at the front for the next call. Touches no byte at or beyond `count`.
int ScanResponse(quint8 *buffer, quint32 &count);
