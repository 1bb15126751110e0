// Why a device would not open: its owning group and the user's groups, or the processes that
// hold it, as the system shows them.

#include "serial/ComOpenFailure.h"
#include "serial/ComPortInfo.h"
#include "serial/ComPortName.h"
#include "serial/net/NetBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <vector>

namespace {

QString GroupName(gid_t Gid)
{
    std::vector<char> buffer(16384);
    group g{}, *found = nullptr;
    if (getgrgid_r(Gid, &g, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return QString::fromLocal8Bit(found->gr_name);
}

bool Contains(const std::vector<gid_t> &Groups, gid_t Gid)
{
    return std::find(Groups.begin(), Groups.end(), Gid) != Groups.end();
}

void ExplainPermission(TComOpenFailure &F)
{
    struct stat st {};
    if (::stat(QFile::encodeName(F.DevicePath).constData(), &st) != 0)
        return;
    F.Group = GroupName(st.st_gid);

    std::vector<char> buffer(16384);
    passwd pw{}, *me = nullptr;
    if (getpwuid_r(geteuid(), &pw, buffer.data(), buffer.size(), &me) == 0 && me) {
        F.User = QString::fromLocal8Bit(me->pw_name);
        int count = 64;
        std::vector<gid_t> listed(static_cast<size_t>(count));
        if (getgrouplist(me->pw_name, me->pw_gid, listed.data(), &count) < 0) {
            listed.resize(size_t(count));
            getgrouplist(me->pw_name, me->pw_gid, listed.data(), &count);
        }
        listed.resize(size_t(std::max(count, 0)));
        F.UserInGroup = Contains(listed, st.st_gid);
    }
    std::vector<gid_t> session(size_t(std::max(getgroups(0, nullptr), 0)));
    session.resize(size_t(std::max(getgroups(int(session.size()), session.data()), 0)));
    F.SessionInGroup = getegid() == st.st_gid || Contains(session, st.st_gid);
}

/// The processes with a descriptor on the device, from /proc (only those this user may see).
QStringList Holders(const QString &DevicePath)
{
    const QString device = QFileInfo(DevicePath).canonicalFilePath();
    QStringList holders;
    if (device.isEmpty())
        return holders;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        pid.toInt(&numeric);
        if (!numeric)
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() != device)
                continue;
            QFile comm(proc.filePath(pid + QStringLiteral("/comm")));
            const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                                                : QString();
            holders << QStringLiteral("%1 (pid %2)").arg(name.isEmpty() ? QStringLiteral("?") : name, pid);
            break;
        }
    }
    return holders;
}

} // namespace

TComOpenFailure DiagnoseOpenFailure(const QString &Port, int Error)
{
    if (IsNetPortName(Port))
        return DiagnoseNetOpenFailure(Port, Error);
    TComOpenFailure f;
    f.Error = Error;
    f.DevicePath = ComDevicePath(Port);
    switch (Error) {
    case EACCES:
    case EPERM:
        f.Reason = TComOpenFailure::ofNoPermission;
        ExplainPermission(f);
        break;
    case EBUSY:
        f.Reason = TComOpenFailure::ofBusy;
        f.Holders = Holders(f.DevicePath);
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        f.Reason = TComOpenFailure::ofGone;
        break;
    case ENOTTY:
        f.Reason = TComOpenFailure::ofNotTerminal;
        break;
    default:
        break;
    }
    return f;
}
