// The settings store on Windows is the system registry itself: the same keys and value
// names the ini stand-in holds elsewhere, as REG_SZ and REG_DWORD values. The registry
// keeps every write at once, so UpdateStore has nothing left to do.

#include "serial/store/ComRegistry.h"

#include "serial/Exception.h"
#include "serial/store/IniDocument_p.h" // completes the store's members
#include "serial/ComSystemText_p.h"

#include <windows.h>

#include <QStringList>
#include <vector>

namespace {

HKEY RootHandle(TComRegistryRoot Root) { return Root == rrLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

std::wstring Wide(const QString &Text) { return Text.toStdWString(); }

QString KeyPath(const std::string &Utf8) { return QString::fromStdString(Utf8); }

/// Reads one value of the open key; ERROR_FILE_NOT_FOUND when it is missing.
LSTATUS Query(TComRegistryRoot Root, const std::string &Key, const QString &Name, DWORD &Type,
              std::vector<BYTE> &Data)
{
    HKEY key = nullptr;
    LSTATUS r = RegOpenKeyExW(RootHandle(Root), Wide(KeyPath(Key)).c_str(), 0, KEY_QUERY_VALUE, &key);
    if (r != ERROR_SUCCESS)
        return r;
    const std::wstring name = Wide(Name);
    DWORD size = 0;
    r = RegQueryValueExW(key, name.c_str(), nullptr, &Type, nullptr, &size);
    if (r == ERROR_SUCCESS) {
        Data.assign(size, 0);
        r = RegQueryValueExW(key, name.c_str(), nullptr, &Type, Data.data(), &size);
        Data.resize(size);
    }
    RegCloseKey(key);
    return r;
}

} // namespace

TComRegistry::TComRegistry() = default;
TComRegistry::~TComRegistry() = default;

QString TComRegistry::StoreFile(TComRegistryRoot Root)
{
    return Root == rrLocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE") : QStringLiteral("HKEY_CURRENT_USER");
}

bool TComRegistry::OpenKey(const QString &Path, bool CanCreate)
{
    FState = ksNone;
    FDirty = false;
    FFile = StoreFile(FRoot);
    const QString key = Path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\'));
    if (key.isEmpty())
        return false;
    HKEY h = nullptr;
    LSTATUS r = RegOpenKeyExW(RootHandle(FRoot), Wide(key).c_str(), 0, KEY_QUERY_VALUE, &h);
    if (r == ERROR_FILE_NOT_FOUND && CanCreate)
        r = RegCreateKeyExW(RootHandle(FRoot), Wide(key).c_str(), 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &h, nullptr);
    if (r != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    FSection = key.toStdString();
    FState = ksOpen;
    return true;
}

QString TComRegistry::ReadString(const QString &Name) const
{
    if (FState != ksOpen)
        return {};
    DWORD type = 0;
    std::vector<BYTE> data;
    const LSTATUS r = Query(FRoot, FSection, Name, type, data);
    if (r == ERROR_FILE_NOT_FOUND)
        return {};
    if (r != ERROR_SUCCESS)
        throw Exception(QStringLiteral("The value %1 cannot be read: %2").arg(Name, SystemErrorText(int(r))));
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw Exception(QStringLiteral("The value %1 is not a text").arg(Name));
    QString text = QString::fromWCharArray(reinterpret_cast<const wchar_t *>(data.data()),
                                           qsizetype(data.size() / sizeof(wchar_t)));
    // Stored with or without its terminating zero.
    if (const qsizetype end = text.indexOf(QChar(0)); end >= 0)
        text.truncate(end);
    return text;
}

int TComRegistry::ReadInteger(const QString &Name) const
{
    DWORD type = 0;
    std::vector<BYTE> data;
    const LSTATUS r = FState == ksOpen ? Query(FRoot, FSection, Name, type, data) : ERROR_FILE_NOT_FOUND;
    if (r == ERROR_FILE_NOT_FOUND)
        throw Exception(QStringLiteral("The value %1 is missing").arg(Name));
    if (r != ERROR_SUCCESS)
        throw Exception(QStringLiteral("The value %1 cannot be read: %2").arg(Name, SystemErrorText(int(r))));
    if (type != REG_DWORD || data.size() != sizeof(DWORD))
        throw Exception(QStringLiteral("The value %1 is not an integer").arg(Name));
    DWORD value = 0;
    memcpy(&value, data.data(), sizeof value);
    return int(value);
}

void TComRegistry::CheckWritable() const
{
    if (FState != ksOpen)
        throw Exception(QStringLiteral("No settings key is open"));
}

namespace {
void SetValue(TComRegistryRoot Root, const std::string &Key, const QString &Name, DWORD Type,
              const void *Data, DWORD Size)
{
    if (Name.isEmpty())
        throw Exception(QStringLiteral("A value needs a name"));
    HKEY h = nullptr;
    LSTATUS r = RegOpenKeyExW(RootHandle(Root), Wide(KeyPath(Key)).c_str(), 0, KEY_SET_VALUE, &h);
    if (r == ERROR_SUCCESS) {
        r = RegSetValueExW(h, Wide(Name).c_str(), 0, Type, static_cast<const BYTE *>(Data), Size);
        RegCloseKey(h);
    }
    if (r != ERROR_SUCCESS)
        throw Exception(QStringLiteral("The value %1 cannot be written: %2").arg(Name, SystemErrorText(int(r))));
}
} // namespace

void TComRegistry::WriteString(const QString &Name, const QString &Value)
{
    CheckWritable();
    const std::wstring text = Wide(Value);
    SetValue(FRoot, FSection, Name, REG_SZ, text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t)));
}

void TComRegistry::WriteInteger(const QString &Name, int Value)
{
    CheckWritable();
    const DWORD v = DWORD(Value);
    SetValue(FRoot, FSection, Name, REG_DWORD, &v, sizeof v);
}

void TComRegistry::UpdateStore()
{
    if (FState == ksBroken)
        throw Exception(QStringLiteral("The settings key cannot be read"));
}
