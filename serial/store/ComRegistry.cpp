#include "serial/store/ComRegistry.h"

#include "serial/Exception.h"
#include "serial/store/IniDocument_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <charconv>
#include <string_view>

namespace {
constexpr std::string_view TextTag = "sz:";
constexpr std::string_view IntegerTag = "dword:";

enum TEscapeKind { ekSection, ekName, ekValue };

/// UTF-8 with %XX for every byte that the ini syntax would trim, split or misread.
std::string Escape(const QString &Text, TEscapeKind Kind)
{
    static const char Hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = Text.toUtf8();
    std::string out;
    out.reserve(size_t(utf8.size()));
    for (char ch : utf8) {
        const uchar c = uchar(ch);
        bool escape = c <= 0x20 || c == 0x7F || c == '%';
        if (Kind == ekSection)
            escape = escape || c == '[' || c == ']';
        else if (Kind == ekName)
            escape = escape || c == '=' || c == '[' || c == ']' || c == ';' || c == '#';
        if (escape) {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 0x0F];
        } else {
            out += ch;
        }
    }
    return out;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

/// Reverses Escape; a "%" not followed by two hexadecimal digits stands for itself.
QString Unescape(std::string_view Raw)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(Raw.size()));
    for (size_t i = 0; i < Raw.size(); ++i) {
        if (Raw[i] == '%' && i + 2 < Raw.size() && HexValue(Raw[i + 1]) >= 0
            && HexValue(Raw[i + 2]) >= 0) {
            bytes += char(HexValue(Raw[i + 1]) * 16 + HexValue(Raw[i + 2]));
            i += 2;
        } else {
            bytes += Raw[i];
        }
    }
    return QString::fromUtf8(bytes);
}

/// Moves a store that cannot be read or rewritten whole out of the way, keeping it for the
/// user beside the store: "<store>.corrupt", or "<store>.corrupt.<n>" when that exists already.
void SetAsideCorruptStore(const QString &File)
{
    const QString aside = File + QStringLiteral(".corrupt");
    for (int n = 0; n < 100; ++n)
        if (QFile::rename(File, n == 0 ? aside : aside + QLatin1Char('.') + QString::number(n))
            || !QFile::exists(File))
            return;
}

/// The key path with empty segments dropped: "a\\b\\", "\\a\\b" and "a\\\\b" name one key.
QString NormalizedPath(const QString &Path)
{
    return Path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\'));
}
} // namespace

TComRegistry::TComRegistry() = default;
TComRegistry::~TComRegistry() = default;

QString TComRegistry::StoreFile(TComRegistryRoot Root)
{
    QString dir;
    if (Root == rrCurrentUser) {
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    } else {
        const QStringList dirs =
            qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
        for (const QString &d : dirs)
            if (QDir::isAbsolutePath(d)) {
                dir = d;
                break;
            }
        if (dir.isEmpty())
            dir = QStringLiteral("/etc/xdg");
    }
    // Without a home there is no per-user place; never fall back to the file system's root.
    if (dir.isEmpty() || !QDir::isAbsolutePath(dir))
        return {};
    return QDir::cleanPath(dir) + (Root == rrCurrentUser
                                       ? QStringLiteral("/tq-configurator/registry-user.ini")
                                       : QStringLiteral("/tq-configurator/registry-machine.ini"));
}

bool TComRegistry::OpenKey(const QString &Path, bool CanCreate)
{
    FState = ksNone;
    FDirty = false;
    FSection.clear();
    FFile = StoreFile(FRoot);
    FDoc = std::make_unique<TIniDocument>();
    bool corrupt = false;
    try {
        if (FFile.isEmpty())
            throw Exception(QStringLiteral("No configuration directory"));
        FDoc->Load(FFile);
        corrupt = !FDoc->Intact() || !FDoc->Utf8();
    } catch (const EIniTooLarge &) {
        corrupt = true;
    } catch (const Exception &) {
        FState = ksBroken;
        return false;
    }
    if (corrupt) {
        // This access fails as before, so the user hears of it; the next one starts afresh.
        SetAsideCorruptStore(FFile);
        FState = ksBroken;
        return false;
    }

    const QString key = NormalizedPath(Path);
    if (key.isEmpty())
        return false;
    CSimpleIniA::TNamesDepend sections;
    FDoc->Ini().GetAllSections(sections);
    for (const auto &section : sections)
        if (Unescape(section.pItem).compare(key, Qt::CaseInsensitive) == 0) {
            FSection = section.pItem;
            FState = ksOpen;
            return true;
        }
    if (!CanCreate)
        return false;
    FSection = Escape(key, ekSection);
    FDoc->Ini().SetValue(FSection.c_str(), nullptr, nullptr);
    FState = ksOpen;
    FDirty = true;
    try {
        UpdateStore();
    } catch (const Exception &) {
        return false; // the key lives on in memory; writing it fails again at UpdateStore
    }
    return true;
}

const char *TComRegistry::FindValue(const QString &Name) const
{
    CSimpleIniA::TNamesDepend names;
    FDoc->Ini().GetAllKeys(FSection.c_str(), names);
    for (const auto &name : names)
        if (Unescape(name.pItem).compare(Name, Qt::CaseInsensitive) == 0)
            return FDoc->Ini().GetValue(FSection.c_str(), name.pItem);
    return nullptr;
}

QString TComRegistry::ReadString(const QString &Name) const
{
    if (FState == ksBroken)
        throw Exception(QStringLiteral("The settings store %1 cannot be read").arg(FFile));
    if (FState == ksNone)
        return {};
    const char *raw = FindValue(Name);
    if (!raw)
        return {};
    const std::string_view value(raw);
    if (!value.starts_with(TextTag))
        throw Exception(QStringLiteral("The value %1 is not a text").arg(Name));
    return Unescape(value.substr(TextTag.size()));
}

int TComRegistry::ReadInteger(const QString &Name) const
{
    if (FState == ksBroken)
        throw Exception(QStringLiteral("The settings store %1 cannot be read").arg(FFile));
    const char *raw = FState == ksOpen ? FindValue(Name) : nullptr;
    if (!raw)
        throw Exception(QStringLiteral("The value %1 is missing").arg(Name));
    std::string_view value(raw);
    if (!value.starts_with(IntegerTag))
        throw Exception(QStringLiteral("The value %1 is not an integer").arg(Name));
    value.remove_prefix(IntegerTag.size());
    long long number = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
    // Signed or unsigned 32-bit forms of the same bits are both accepted.
    if (ec != std::errc() || end != value.data() + value.size() || number < -2147483648LL
        || number > 4294967295LL)
        throw Exception(QStringLiteral("The value %1 is not a 32-bit integer").arg(Name));
    return int(quint32(number));
}

void TComRegistry::CheckWritable() const
{
    if (FState != ksOpen)
        throw Exception(QStringLiteral("No settings key is open"));
}

void TComRegistry::WriteString(const QString &Name, const QString &Value)
{
    WriteRaw(Name, std::string(TextTag) + Escape(Value, ekValue));
}

void TComRegistry::WriteInteger(const QString &Name, int Value)
{
    WriteRaw(Name, std::string(IntegerTag) + std::to_string(Value));
}

void TComRegistry::WriteRaw(const QString &Name, const std::string &Data)
{
    CheckWritable();
    if (Name.isEmpty())
        throw Exception(QStringLiteral("A value needs a name"));
    std::string key = Escape(Name, ekName);
    // A value that exists in another letter case keeps its spelling.
    CSimpleIniA::TNamesDepend names;
    FDoc->Ini().GetAllKeys(FSection.c_str(), names);
    for (const auto &name : names)
        if (Unescape(name.pItem).compare(Name, Qt::CaseInsensitive) == 0) {
            key = name.pItem;
            break;
        }
    FDoc->Ini().SetValue(FSection.c_str(), key.c_str(), Data.c_str(), nullptr, true);
    FDirty = true;
}

void TComRegistry::UpdateStore()
{
    if (FState == ksBroken)
        throw Exception(QStringLiteral("The settings store %1 cannot be read").arg(FFile));
    if (!FDirty)
        return;
    if (!QDir().mkpath(QFileInfo(FFile).absolutePath()))
        throw Exception(QStringLiteral("Cannot create the folder of %1").arg(FFile));
    FDoc->Save(FFile);
    FDirty = false;
}
