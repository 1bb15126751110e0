#include "serial/ComPortName.h"
#include "serial/net/NetBackend.h"

#include <QHash>
#include <cerrno>
#include <mutex>

namespace {
std::mutex TextLock;
QHash<QString, QString> &Texts()
{
    static QHash<QString, QString> texts;
    return texts;
}
} // namespace

void NoteNetServerText(const QString &Port, const QString &Text)
{
    std::lock_guard guard(TextLock);
    if (Text.isEmpty())
        Texts().remove(Port);
    else
        Texts().insert(Port, Text);
}

TComOpenFailure DiagnoseNetOpenFailure(const QString &Port, int Error)
{
    TComOpenFailure f;
    f.Error = Error;
    f.DevicePath = Port;
    TNetPortName name;
    QString problem;
    if (!ParseNetPortName(Port, name, &problem)) {
        f.Reason = TComOpenFailure::ofBadName;
        f.ServerText = problem;
        return f;
    }
    f.DevicePath = name.Address();
    switch (Error) {
    case ECONNREFUSED: f.Reason = TComOpenFailure::ofRefused; break;
    case ENXIO: f.Reason = TComOpenFailure::ofUnknownHost; break;
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH: f.Reason = TComOpenFailure::ofNoAnswer; break;
    case EPROTO: f.Reason = TComOpenFailure::ofNotRfc2217; break;
    case EBUSY: {
        f.Reason = TComOpenFailure::ofServerBusy;
        std::lock_guard guard(TextLock);
        f.ServerText = Texts().value(Port);
        break;
    }
    case ECONNRESET:
    case EPIPE: f.Reason = TComOpenFailure::ofServerClosed; break;
    default: break;
    }
    return f;
}
