#pragma once
// The clients the transaction benchmarks compare: a host that runs Exchange on its own port,
// and the floor, a raw termios client (write, then poll() and read until a whole frame).

#include "protocol/Connection.h"
#include "protocol/DeviceHost.h"
#include "protocol/Exchange.h"
#include "protocol/Frame.h"
#include "protocol/SensorContext.h"
#include "protocol/Timer.h"
#include "serial/ComPort.h"
#include "tools/Pty.h"

#include <QMap>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace bench {

class TBenchHost : public TConnectionHost {
public:
    TCustomComPort &ComPort() override { return FPort; }
    TTimer &TimeoutTimer() override { return FTimer; }
    QString FieldText(TDeviceField field) const override { return FFields.value(field, QStringLiteral("0")); }
    void SetFieldText(TDeviceField field, const QString &text) override { FFields[field] = text; }
    void ErrorBox(const QString &text, const QString &) override { std::fprintf(stderr, "box: %s\n", qPrintable(text)); }
    QString ChosenPort() const override { return Chosen; }
    void SetDeviceControlsEnabled(bool) override {}
    void SetWaitCursor(bool) override {}

    QString Chosen;

private:
    TComPort FPort;
    TTimer FTimer;
    QMap<TDeviceField, QString> FFields;

public:
    TSensorContext Context{*this}; ///< last: it binds the timer
};

/// The floor: write the request, then poll() and read until the scanner sees a whole frame.
inline void RawTransaction(int fd, const QByteArray &request)
{
    if (::write(fd, request.constData(), size_t(request.size())) != request.size())
        std::abort();
    TReplyBuffer buffer;
    quint32 count = 0;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0)
            std::abort();
        const ssize_t n = ::read(fd, buffer.data() + count, ResponseChunk);
        if (n <= 0)
            std::abort();
        count += quint32(n);
        if (ScanResponse(buffer.data(), count) == 1)
            return;
    }
}

/// The slave of a pseudo-terminal opened the way the raw client does it.
inline int OpenRaw(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0 || !SetRawLine(fd))
        std::abort();
    return fd;
}

} // namespace bench
