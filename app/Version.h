#pragma once
// The program's version information, read from the version block of its own file.

#include "serial/Exception.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

/// A failure to read the version information; the message says which step failed.
class EVersionError : public Exception {
public:
    using Exception::Exception;
};

class version {
public:
    /// Reads the running program's file. Throws EVersionError on every failure and
    /// std::bad_alloc when the block cannot be allocated.
    version();
    /// Reads the given program file instead, with the same failures.
    explicit version(const QString &programFile);

    version(const version &) = delete;
    version &operator=(const version &) = delete;

    /// Value("FileVersion").
    QString FileVersion() const;
    /// The string the first translation holds under key, or "" when there is none.
    QString Value(const QString &key) const;

private:
    struct TTranslation {
        quint16 Language = 0;
        quint16 CodePage = 0;
    };

    /// The platform's reading: the file's block and its first translation, and one value.
    void Read(const QString &programFile);
    std::optional<QString> QueryValue(const QString &path) const;

    QByteArray FBlock;
    TTranslation FTranslation;
};
