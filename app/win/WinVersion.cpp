// The program's version information from its own version resource, read with the system's
// version functions; the same failures and texts as the reader of the other platforms.

#include "app/Version.h"

#include <windows.h>

#include <vector>

namespace {

QString WithCode(const char *text, DWORD code)
{
    return QString::asprintf("%s%lu)", text, static_cast<unsigned long>(code));
}

} // namespace

version::version()
{
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (n == 0)
            throw EVersionError(QStringLiteral("Could not get application name"));
        if (n < name.size())
            break;
        name.resize(name.size() * 2);
    }
    Read(QString::fromWCharArray(name.data()));
}

void version::Read(const QString &programFile)
{
    const std::wstring file = programFile.toStdWString();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0)
        throw EVersionError(WithCode("No version information found (Windows error: ", GetLastError()));
    QByteArray block(qsizetype(size), Qt::Uninitialized);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data()))
        throw EVersionError(WithCode("Could not get version information (Windows error: ", GetLastError()));
    void *table = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.constData(), L"\\VarFileInfo\\Translation", &table, &length)
        || length < 4)
        throw EVersionError(QStringLiteral("Requested localized version information not available"));
    const auto *words = static_cast<const WORD *>(table);
    FTranslation.Language = words[0];
    FTranslation.CodePage = words[1];
    FBlock = std::move(block);
}

std::optional<QString> version::QueryValue(const QString &path) const
{
    void *text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(FBlock.constData(), path.toStdWString().c_str(), &text, &length) || length == 0)
        return std::nullopt;
    QString value = QString::fromWCharArray(static_cast<const wchar_t *>(text), int(length));
    if (const qsizetype end = value.indexOf(QChar(0)); end >= 0)
        value.truncate(end);
    return value;
}
