#pragma once
// Finds a named section in an ELF file (the program's own file, for its version block).

#include <QString>
#include <QtGlobal>

struct TElfSection {
    qint64 Offset = 0;
    qint64 Size = 0;
};

enum class TElfLookup {
    Found,
    NotReadable, ///< the file could not be opened or read (errno in Error)
    NoSection,   ///< not a little-endian ELF file, or no such section with data in the file
};

/// Locates section name in the file at path. Every offset is checked against the file's size,
/// so a damaged file gives NoSection, never a read outside it.
TElfLookup FindElfSection(const QString &path, const char *name, TElfSection &section, int &error);

/// Reads size bytes at offset of the file at path into buffer; false with errno in error when
/// the file cannot be opened or ends before the range does.
bool ReadFileRange(const QString &path, qint64 offset, char *buffer, qint64 size, int &error);
