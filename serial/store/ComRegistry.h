#pragma once
// The per-user and machine-wide settings store that stands in for the system registry.
//
// Each root is one human-readable ini file:
//   HKEY_CURRENT_USER   $XDG_CONFIG_HOME/tq-configurator/registry-user.ini
//                       (~/.config/tq-configurator/registry-user.ini when unset)
//   HKEY_LOCAL_MACHINE  <first entry of $XDG_CONFIG_DIRS, else /etc/xdg>/tq-configurator/registry-machine.ini
// A key is a section named by its backslash-separated path (empty segments dropped, names
// matched without regard to case); a value keeps its type: "Port=sz:COM1",
// "CustomBaudRate=dword:250000". Characters that an ini line cannot hold are written as
// %XX. Changes are kept in memory until UpdateStore, which replaces the file atomically.
// Since a key path only ever names a section, no path can reach outside the store file.

#include <QString>
#include <memory>
#include <string>

class TIniDocument;

enum TComRegistryRoot { rrCurrentUser, rrLocalMachine };

class TComRegistry {
public:
    TComRegistry();
    ~TComRegistry();
    TComRegistry(const TComRegistry &) = delete;
    TComRegistry &operator=(const TComRegistry &) = delete;

    /// The root that the next OpenKey uses; rrCurrentUser at first.
    TComRegistryRoot RootKey() const { return FRoot; }
    void SetRootKey(TComRegistryRoot Root) { FRoot = Root; }

    /// Opens the key Path under the root, creating it (and writing the store) when missing
    /// and CanCreate. False when the store cannot be read or is corrupt (every later access
    /// through this object then fails), or the key is missing and could not be created.
    /// A corrupt store (not UTF-8, too large, or with lines a rewrite would lose) is renamed to
    /// "<store file>.corrupt" (".corrupt.1" and on when taken), so the next access starts
    /// a fresh store.
    bool OpenKey(const QString &Path, bool CanCreate);
    bool HasKey() const { return FState != ksNone; }

    /// A text value; a missing value, or no open key, reads as the empty text. Throws
    /// Exception for a value of another type or an unreadable store.
    QString ReadString(const QString &Name) const;
    /// A 32-bit value. Throws Exception when it is missing, of another type, or no key is open.
    int ReadInteger(const QString &Name) const;
    /// Throw Exception when no key is open.
    void WriteString(const QString &Name, const QString &Value);
    void WriteInteger(const QString &Name, int Value);

    /// Writes the changes made since OpenKey; nothing when there are none. Throws Exception
    /// when the store cannot be written; the file on disk is then as it was.
    void UpdateStore();

    /// The store file of a root (see above).
    static QString StoreFile(TComRegistryRoot Root);

private:
    enum TKeyState { ksNone, ksOpen, ksBroken };
    const char *FindValue(const QString &Name) const;
    void CheckWritable() const;
    void WriteRaw(const QString &Name, const std::string &Data);

    TComRegistryRoot FRoot = rrCurrentUser;
    TKeyState FState = ksNone;
    QString FFile;
    std::string FSection; // as written in the file
    std::unique_ptr<TIniDocument> FDoc;
    bool FDirty = false;
};
