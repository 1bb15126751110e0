// What every platform's version reader shares; the reading itself is the platform's.
#include "app/Version.h"

version::version(const QString &programFile)
{
    if (programFile.isEmpty())
        throw EVersionError(QStringLiteral("Could not get application name"));
    Read(programFile);
}

QString version::FileVersion() const
{
    return Value(QStringLiteral("FileVersion"));
}

QString version::Value(const QString &key) const
{
    if (FBlock.isEmpty())
        return QString();
    const QString path = QString::asprintf("\\StringFileInfo\\%04x%04x\\", FTranslation.Language, FTranslation.CodePage) + key;
    return QueryValue(path).value_or(QString());
}
