#include "tools/sensor-cli/SettingsImage.h"

#include "protocol/FieldText.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>

#include <bit>
#include <unistd.h>

namespace {
constexpr char Signature[8] = {'T', 'Q', '_', 'C', 'O', 'N', 'F', '\0'};
constexpr std::array<TDeviceField, 7> FileOrder = {dfCalOn, dfCalOff, dfCalTime, dfInertCalib,
                                                   dfInertWork, dfInpFlt, dfHystWidth};
constexpr int FileSize = 36;
} // namespace

QString LoadSettingsImage(const QString &path, TFieldTexts &texts)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Невозможно открыть файл для чтения");
    const QByteArray bytes = file.read(FileSize);
    if (bytes.size() < int(sizeof Signature))
        return QStringLiteral("Ошибка чтения из файла.");
    if (qstrcmp(bytes.constData(), Signature) != 0 || bytes[7] != '\0')
        return QStringLiteral("Формат файла не соответствует данной программе.");
    // A tool sends nothing from half a file: all seven values or none.
    if (bytes.size() < FileSize)
        return QStringLiteral("Ошибка чтения из файла.");
    TFieldTexts loaded = texts;
    for (size_t i = 0; i < FileOrder.size(); ++i) {
        const quint32 raw = qFromLittleEndian<quint32>(bytes.constData() + 8 + 4 * i);
        loaded[FileOrder[i]] = FileOrder[i] == dfHystWidth ? FormatReal(std::bit_cast<float>(raw)) : FormatInt(qint32(raw));
    }
    texts = loaded;
    return {};
}

QString SaveSettingsImage(const QString &path, const TFieldTexts &texts)
{
    QByteArray bytes(Signature, sizeof Signature);
    for (TDeviceField field : FileOrder) {
        const quint32 raw = field == dfHystWidth ? std::bit_cast<quint32>(float(StrToFloat(texts[field])))
                                                 : quint32(StrToInt(texts[field]));
        char le[4];
        qToLittleEndian(raw, le);
        bytes.append(le, sizeof le);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return QStringLiteral("Невозможно открыть файл для записи");
    if (file.write(bytes) != bytes.size() || ::fsync(file.handle()) != 0 || !file.commit()) {
        file.cancelWriting();
        return QStringLiteral("Ошибка записи в файл.");
    }
    return {};
}
