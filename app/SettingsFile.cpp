#include "app/SettingsFile.h"

#include "app/FieldDisplay.h"
#include "app/FieldLimits.h"
#include "app/MessageBox.h"
#include "protocol/FieldText.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSaveFile>
#include <QtEndian>

#include <bit>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char signature[8] = {'T', 'Q', '_', 'C', 'O', 'N', 'F', '\0'};
constexpr size_t realField = 6; // txtHystWidth; the others are integers

void ShowFileError(const char *text)
{
    ShowMessageBox(QString::fromUtf8(text), QStringLiteral("Ошибка"), QMessageBox::Critical);
}

/// A FIFO, terminal, socket or folder is no settings file: opening or reading one could hold
/// the window for good. Only a path that names a regular file (or nothing yet) is used.
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
}

} // namespace

QByteArray SettingsFileBytes(const TSettingsFields &fields)
{
    QByteArray bytes(signature, sizeof signature);
    bytes.reserve(SettingsFileSize);
    for (size_t i = 0; i < fields.size(); ++i) {
        const QString text = fields[i]->text();
        const quint32 raw = i == realField ? std::bit_cast<quint32>(StrToStoredSingle(text))
                                           : quint32(StrToInt(text));
        char le[4];
        qToLittleEndian(raw, le);
        bytes.append(le, sizeof le);
    }
    return bytes;
}

void SaveSettingsFile(const QString &path, const TSettingsFields &fields)
{
    const QByteArray bytes = SettingsFileBytes(fields);
    QSaveFile file(path);
    // The save file would be renamed over a FIFO or device node, or block writing to it.
    // Unbuffered, because a buffered save file commits a short write (a full disk) as success.
    if (!IsRegularOrMissing(path) || !file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        ShowFileError("Невозможно открыть файл для записи");
        return;
    }
    // Until commit() the old file is untouched; without it the new one is discarded.
    if (file.write(bytes) != bytes.size() || ::fsync(file.handle()) != 0 || !file.commit()) {
        file.cancelWriting();
        ShowFileError("Ошибка записи в файл.");
    }
}

void LoadSettingsFile(const QString &path, const TSettingsFields &fields)
{
    QFile file;
    if (!OpenRegularFile(file, path)) {
        ShowFileError("Невозможно открыть файл для чтения");
        return;
    }
    char head[sizeof signature];
    if (file.read(head, sizeof head) != qint64(sizeof head)) {
        ShowFileError("Ошибка чтения из файла.");
        return;
    }
    if (std::memcmp(head, signature, sizeof signature) != 0) {
        ShowFileError("Формат файла не соответствует данной программе.");
        return;
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        char le[4];
        if (file.read(le, sizeof le) != qint64(sizeof le)) {
            ShowFileError("Ошибка чтения из файла.");
            return;
        }
        const quint32 raw = qFromLittleEndian<quint32>(le);
        ShowFieldText(fields[i], i == realField ? FormatReal(std::bit_cast<float>(raw)) : FormatInt(qint32(raw)));
    }
}
