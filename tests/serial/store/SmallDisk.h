#pragma once
// A real, small file system that a test can fill to the last byte: the full disk a user meets.
// Mounting needs root; without it Mounted() is false and the test skips with WhyNot().

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

class TSmallDisk {
public:
    /// Mounts a tmpfs of KiB kibibytes on Dir (created when missing).
    explicit TSmallDisk(const QString &Dir, int KiB = 64) : FDir(Dir)
    {
        QDir().mkpath(Dir);
        if (::geteuid() != 0) {
            FWhyNot = "needs root to mount a small tmpfs";
            return;
        }
        const QByteArray options = "size=" + QByteArray::number(KiB) + "k";
        if (::mount("tmpfs", QFile::encodeName(Dir).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                    options.constData())
            != 0) {
            FWhyNot = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
            return;
        }
        FMounted = true;
    }
    ~TSmallDisk()
    {
        if (FMounted)
            ::umount2(QFile::encodeName(FDir).constData(), MNT_DETACH);
    }
    TSmallDisk(const TSmallDisk &) = delete;
    TSmallDisk &operator=(const TSmallDisk &) = delete;

    bool Mounted() const { return FMounted; }
    const char *WhyNot() const { return FWhyNot.c_str(); }

    /// Writes a filler file until the file system is full; true when it is.
    bool Fill()
    {
        const int fd = ::open(Filler().constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd < 0)
            return false;
        static const char block[4096] = {};
        while (::write(fd, block, sizeof block) > 0) {
        }
        while (::write(fd, block, 1) > 0) {
        }
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
    }
    /// Gives Bytes of the filler back (tmpfs frees whole pages).
    bool Free(qint64 Bytes)
    {
        struct stat st;
        return ::stat(Filler().constData(), &st) == 0
            && ::truncate(Filler().constData(), std::max<qint64>(0, st.st_size - Bytes)) == 0;
    }

private:
    QByteArray Filler() const { return QFile::encodeName(FDir + QStringLiteral("/.filler")); }

    QString FDir;
    std::string FWhyNot;
    bool FMounted = false;
};

#define SKIP_WITHOUT_SMALL_DISK(Disk)                                                             \
    if (!(Disk).Mounted())                                                                        \
    GTEST_SKIP() << "No full file system to test on: " << (Disk).WhyNot()
