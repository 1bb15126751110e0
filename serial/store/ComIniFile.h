#pragma once
// An ini file read and written by section and name, with the rules of profile files:
// a missing value gives the caller's default, at most 2047 characters of a text are read,
// integers are decimal or "0x" hexadecimal, and names match without regard to (ASCII) letter case.
//
// FileName is used as given: an absolute path, or a path relative to the current directory
// (a bare name, too, names a file in the current directory). The file is read once, when
// the object is made; changes are kept in memory until UpdateFile, which writes the whole
// file through a temporary file and a rename. Lines it does not write itself are kept.

#include <QString>
#include <memory>

class TIniDocument;

class TComIniFile {
public:
    /// Longest text that ReadString returns.
    static constexpr int MaxTextLength = 2047;

    /// Reads FileName; a file that does not exist yet reads as empty. Throws Exception when
    /// the name is empty or names something that is not a readable file.
    explicit TComIniFile(const QString &FileName);
    ~TComIniFile();
    TComIniFile(const TComIniFile &) = delete;
    TComIniFile &operator=(const TComIniFile &) = delete;

    QString FileName() const { return FFileName; }

    /// The value, cut to MaxTextLength characters, or Default when it is missing.
    QString ReadString(const QString &Section, const QString &Ident, const QString &Default) const;
    /// The value as a whole number, or Default when it is missing or not one.
    int ReadInteger(const QString &Section, const QString &Ident, int Default) const;
    /// Change the value in memory. Throw Exception for a section or name that an ini line
    /// cannot hold (empty, padded, "]" in a section, "=" in a name, line breaks) and for a
    /// value with a line break or NUL.
    void WriteString(const QString &Section, const QString &Ident, const QString &Value);
    void WriteInteger(const QString &Section, const QString &Ident, int Value);

    /// Writes the changes; nothing when there are none. Throws Exception when the file cannot
    /// be written or holds lines that would be lost; the file is then as it was.
    void UpdateFile();

private:
    std::unique_ptr<TIniDocument> FDoc;
    QString FFileName;
    bool FDirty = false;
};
