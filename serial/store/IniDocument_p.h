#pragma once
// A whole ini file in memory: read once, changed, written back in one atomic step.
// Private to the settings store.

#define SI_NO_CONVERSION // bytes pass through unchanged; callers decide on the encoding
#include <SimpleIni.h>

#include "serial/Exception.h"

#include <QString>
#include <string>

/// Thrown by TIniDocument::Load for a file larger than any settings file: not one of ours.
class EIniTooLarge : public Exception {
public:
    using Exception::Exception;
};

class TIniDocument {
public:
    /// Files larger than this are refused: no settings file comes near it.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    TIniDocument();

    /// Reads Path. A missing file gives an empty document. Throws Exception when Path is not
    /// a regular file or cannot be read, EIniTooLarge when it exceeds MaxFileSize.
    void Load(const QString &Path);
    /// Whether Save would write back every line that Load read, byte for byte and in order
    /// (blank lines and line ends aside). A file with lines the parser drops, splits at a
    /// bare CR, trims or moves is not intact; it reads as far as the parser got.
    bool Intact() const { return FIntact; }
    /// Whether the bytes read were valid UTF-8.
    bool Utf8() const { return FUtf8; }

    CSimpleIniA &Ini() { return FIni; }
    const CSimpleIniA &Ini() const { return FIni; }

    /// Writes the document to Path through a temporary file and a rename, so the old file
    /// stays whole on any failure. Throws Exception when the document is not Intact() or
    /// the file cannot be written.
    void Save(const QString &Path) const;

private:
    std::string Serialized() const;

    CSimpleIniA FIni;
    std::string FTail; // comment lines after the last entry, which the parser does not keep
    bool FBom = false;
    bool FIntact = true;
    bool FUtf8 = true;
};
