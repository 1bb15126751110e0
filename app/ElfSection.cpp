#include "app/ElfSection.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Closes the descriptor on every path out of the lookup.
class TFd {
public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd() { if (FFd >= 0) ::close(FFd); }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

// Reads exactly size bytes at offset, within a file of fileSize bytes.
bool ReadAt(int fd, qint64 fileSize, quint64 offset, void *buffer, quint64 size, int &error)
{
    if (offset > quint64(fileSize) || size > quint64(fileSize) - offset) {
        error = EINVAL;
        return false;
    }
    auto *out = static_cast<char *>(buffer);
    while (size > 0) {
        const ssize_t got = ::pread(fd, out, size, off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = got < 0 ? errno : EIO;
            return false;
        }
        out += got;
        offset += quint64(got);
        size -= quint64(got);
    }
    return true;
}

template <typename Ehdr, typename Shdr>
TElfLookup FindIn(int fd, qint64 fileSize, const char *name, TElfSection &section, int &error)
{
    Ehdr eh;
    if (!ReadAt(fd, fileSize, 0, &eh, sizeof eh, error))
        return TElfLookup::NoSection;
    if (eh.e_shoff == 0 || eh.e_shentsize < sizeof(Shdr))
        return TElfLookup::NoSection;

    // Extended numbering keeps the real counts in the first section header.
    Shdr first;
    if (!ReadAt(fd, fileSize, eh.e_shoff, &first, sizeof first, error))
        return TElfLookup::NoSection;
    const quint64 count = eh.e_shnum != 0 ? eh.e_shnum : quint64(first.sh_size);
    const quint64 names = eh.e_shstrndx != SHN_XINDEX ? eh.e_shstrndx : quint64(first.sh_link);
    if (count == 0 || names >= count || count > quint64(fileSize) / eh.e_shentsize)
        return TElfLookup::NoSection;

    std::vector<Shdr> headers(count);
    for (quint64 i = 0; i < count; ++i)
        if (!ReadAt(fd, fileSize, eh.e_shoff + i * eh.e_shentsize, &headers[i], sizeof(Shdr), error))
            return TElfLookup::NoSection;

    const Shdr &strtab = headers[names];
    if (strtab.sh_type == SHT_NOBITS || strtab.sh_size > quint64(fileSize))
        return TElfLookup::NoSection;
    std::vector<char> strings(strtab.sh_size);
    if (!ReadAt(fd, fileSize, strtab.sh_offset, strings.data(), strings.size(), error))
        return TElfLookup::NoSection;

    const size_t wanted = std::strlen(name);
    for (const Shdr &h : headers) {
        if (h.sh_name >= strings.size() || h.sh_type == SHT_NOBITS)
            continue;
        const char *candidate = strings.data() + h.sh_name;
        const size_t room = strings.size() - h.sh_name;
        if (::strnlen(candidate, room) != wanted || std::memcmp(candidate, name, wanted) != 0)
            continue;
        if (h.sh_offset > quint64(fileSize) || h.sh_size > quint64(fileSize) - h.sh_offset)
            return TElfLookup::NoSection;
        section.Offset = qint64(h.sh_offset);
        section.Size = qint64(h.sh_size);
        return TElfLookup::Found;
    }
    return TElfLookup::NoSection;
}

} // namespace

TElfLookup FindElfSection(const QString &path, const char *name, TElfSection &section, int &error)
{
    error = 0;
    TFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        error = errno;
        return TElfLookup::NotReadable;
    }
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0) {
        error = errno;
        return TElfLookup::NotReadable;
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return TElfLookup::NotReadable;
    }
    unsigned char ident[EI_NIDENT];
    if (!ReadAt(fd.Get(), st.st_size, 0, ident, sizeof ident, error)
        || std::memcmp(ident, ELFMAG, SELFMAG) != 0 || ident[EI_DATA] != ELFDATA2LSB
        || Q_BYTE_ORDER != Q_LITTLE_ENDIAN) {
        error = ENOEXEC;
        return TElfLookup::NoSection;
    }
    if (ident[EI_CLASS] == ELFCLASS64)
        return FindIn<Elf64_Ehdr, Elf64_Shdr>(fd.Get(), st.st_size, name, section, error);
    if (ident[EI_CLASS] == ELFCLASS32)
        return FindIn<Elf32_Ehdr, Elf32_Shdr>(fd.Get(), st.st_size, name, section, error);
    error = ENOEXEC;
    return TElfLookup::NoSection;
}

bool ReadFileRange(const QString &path, qint64 offset, char *buffer, qint64 size, int &error)
{
    error = 0;
    TFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
        error = errno;
        return false;
    }
    if (offset < 0 || size < 0)
        return error = EINVAL, false;
    return ReadAt(fd.Get(), st.st_size, quint64(offset), buffer, quint64(size), error);
}
