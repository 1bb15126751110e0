#include "protocol/SettingsImage.h"

#include "protocol/FieldText.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <bit>
#include <cstring>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr char signature[8] = {'T', 'Q', '_', 'C', 'O', 'N', 'F', '\0'};
constexpr size_t realValue = 6; // the hysteresis; the others are integers

/// A FIFO, terminal, socket or folder is no settings file: opening or reading one could hold
/// the program for good. Only a path that names a regular file (or nothing yet) is used.
bool IsRegularOrMissing(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}

/// Opens path for reading only when it is a regular file. Non-blocking, so that a FIFO put in
/// its place after the check cannot block the open either; the type is checked again on the
/// open file.
bool OpenRegularFile(QFile &file, const QString &path)
{
    if (!QFileInfo(path).isFile())
        return false;
#ifdef Q_OS_WIN
    // No FIFO can stand in a Windows folder: the check above is the whole of it.
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#endif
}

/// Forces the written bytes to the disk before the save file replaces the old one.
bool SyncToDisk(int handle)
{
#ifdef Q_OS_WIN
    return ::_commit(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

} // namespace

QByteArray SettingsImage(const TSettingsTexts &texts)
{
    QByteArray bytes(signature, sizeof signature);
    bytes.reserve(SettingsFileSize);
    for (size_t i = 0; i < texts.size(); ++i) {
        const quint32 raw = i == realValue ? std::bit_cast<quint32>(StrToStoredSingle(texts[i]))
                                           : quint32(StrToInt(texts[i]));
        char le[4];
        qToLittleEndian(raw, le);
        bytes.append(le, sizeof le);
    }
    return bytes;
}

QString ReadSettingsImage(const QString &path, TSettingsTexts &texts, size_t &count)
{
    count = 0;
    QFile file;
    if (!OpenRegularFile(file, path))
        return QStringLiteral("Невозможно открыть файл для чтения");
    char head[sizeof signature];
    if (file.read(head, sizeof head) != qint64(sizeof head))
        return QStringLiteral("Ошибка чтения из файла.");
    if (std::memcmp(head, signature, sizeof signature) != 0)
        return QStringLiteral("Формат файла не соответствует данной программе.");
    for (; count < texts.size(); ++count) {
        char le[4];
        if (file.read(le, sizeof le) != qint64(sizeof le))
            return QStringLiteral("Ошибка чтения из файла.");
        const quint32 raw = qFromLittleEndian<quint32>(le);
        texts[count] = count == realValue ? FormatReal(std::bit_cast<float>(raw)) : FormatInt(qint32(raw));
    }
    return {};
}

QString WriteSettingsImage(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    // The save file would be renamed over a FIFO or device node, or block writing to it.
    // Unbuffered, because a buffered save file commits a short write (a full disk) as success.
    if (!IsRegularOrMissing(path) || !file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return QStringLiteral("Невозможно открыть файл для записи");
    // Until commit() the old file is untouched; without it the new one is discarded.
    if (file.write(bytes) != bytes.size() || !SyncToDisk(file.handle()) || !file.commit()) {
        file.cancelWriting();
        return QStringLiteral("Ошибка записи в файл.");
    }
    return {};
}
