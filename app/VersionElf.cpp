// The version information of an ELF program: the block the build put in a section of its own.
#include "app/Version.h"

#include "app/ElfSection.h"
#include "app/VersionBlock.h"

#include <QFileInfo>

#include <cerrno>

namespace {

const char *const blockSection = ".tq_version";

// The kernel's link to the running program's file; it stays readable even when the file
// has been replaced on disk since the program started.
const QString selfLink = QStringLiteral("/proc/self/exe");

QString WithCode(const char *text, int code)
{
    return QString::asprintf("%s%d)", text, code);
}

} // namespace

version::version()
{
    if (!QFileInfo::exists(selfLink))
        throw EVersionError(QStringLiteral("Could not get application name"));
    Read(selfLink);
}

void version::Read(const QString &programFile)
{
    TElfSection section;
    int error = 0;
    if (FindElfSection(programFile, blockSection, section, error) != TElfLookup::Found || section.Size == 0)
        throw EVersionError(WithCode("No version information found (Windows error: ", error ? error : ENODATA));

    QByteArray block(section.Size, Qt::Uninitialized);
    if (!ReadFileRange(programFile, section.Offset, block.data(), block.size(), error))
        throw EVersionError(WithCode("Could not get version information (Windows error: ", error));
    // The block is stored as a C string; the section may pad it with zeros.
    const qsizetype end = block.indexOf('\0');
    if (end >= 0)
        block.truncate(end);

    const std::optional<QString> table = QueryVersionValue(block, QStringLiteral("\\VarFileInfo\\Translation"));
    bool languageOk = false;
    bool codePageOk = false;
    TTranslation first;
    if (table && table->size() >= 8) {
        first.Language = QStringView(*table).first(4).toUShort(&languageOk, 16);
        first.CodePage = QStringView(*table).sliced(4, 4).toUShort(&codePageOk, 16);
    }
    if (!languageOk || !codePageOk)
        throw EVersionError(QStringLiteral("Requested localized version information not available"));
    FBlock = std::move(block);
    FTranslation = first;
}

std::optional<QString> version::QueryValue(const QString &path) const
{
    return QueryVersionValue(FBlock, path);
}
