#include "protocol/Frame.h"

#include <QtEndian>

#include <cstring>

QByteArray BuildRequest(TCommand code, const QByteArray &payload)
{
    Q_ASSERT(payload.size() <= 4);
    QByteArray frame;
    frame.reserve(4 + payload.size());
    frame.append(char(FrameStart));
    frame.append(char(4 + payload.size()));
    frame.append(char(code));
    frame.append(payload);
    frame.append(char(FrameEnd));
    return frame;
}

QByteArray U16Bytes(quint16 value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray FloatBytes(float value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

quint16 ReadU16(const quint8 *at)
{
    return qFromLittleEndian<quint16>(at);
}

float ReadFloat(const quint8 *at)
{
    return qFromLittleEndian<float>(at);
}

int ScanResponse(quint8 *buffer, quint32 &count)
{
    for (quint32 i = 0; i < count; ++i) {
        if (buffer[i] != FrameAck && buffer[i] != FrameNak)
            continue;
        if (i + 2 >= count) {
            // The length field is not complete yet: keep the start for the next chunk.
            std::memmove(buffer, buffer + i, count - i);
            count -= i;
            return 0;
        }
        const quint32 length = ReadU16(buffer + i + 1);
        if (length < MinResponseLength || length > MaxResponseLength)
            continue;
        if (count - i >= length && buffer[i + length - 1] != FrameEnd)
            continue;
        if (i > 0) {
            std::memmove(buffer, buffer + i, count - i);
            count -= i;
        }
        // The end byte was checked above once the whole frame was there; a shorter candidate
        // is still arriving, and its end byte lies beyond what was received.
        return count >= length ? 1 : 0;
    }
    count = 0;
    return 0;
}
