#include "StoreRoundTrip.h"

#include "StorePort.h"

#include <QDir>
#include <QFile>
#include <QList>

namespace {
const char *const OwnedNames[] = {
    "Port", "BaudRate", "CustomBaudRate", "StopBits", "DataBits", "Parity", "FlowControl", "EventChar",
    "DiscardNull", "Parity.Check", "Parity.Replace", "Parity.ReplaceChar", "Buffer.OutputSize",
    "Buffer.InputSize", "Timeouts.ReadInterval", "Timeouts.ReadTotalConstant", "Timeouts.ReadTotalMultiplier",
    "Timeouts.WriteTotalConstant", "Timeouts.WriteTotalMultiplier", "FlowControl.ControlRTS",
    "FlowControl.ControlDTR", "FlowControl.DSRSensitivity", "FlowControl.OutCTSFlow", "FlowControl.OutDSRFlow",
    "FlowControl.TxContinueOnXoff", "FlowControl.XonXoffIn", "FlowControl.XonXoffOut", "FlowControl.XoffChar",
    "FlowControl.XonChar"};

QByteArray ReadAll(const QString &Path)
{
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool WriteAll(const QString &Path, const QByteArray &Bytes)
{
    QDir().mkpath(QFileInfo(Path).path());
    QFile f(Path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(Bytes) == Bytes.size();
}

/// The settings store writes %XX for bytes a line cannot hold; an ini file has no such form.
QByteArray Unescaped(const QByteArray &Raw, TStoreType Kind)
{
    return Kind == stRegistry ? QByteArray::fromPercentEncoding(Raw) : Raw;
}

/// The lines that carry something, without line ends, except the port's own section header and
/// the values that the port writes in it.
QList<QByteArray> UnownedLines(QByteArray Text, TStoreType Kind, const QByteArray &Section)
{
    if (Text.startsWith("\xEF\xBB\xBF"))
        Text.remove(0, 3);
    QList<QByteArray> kept;
    bool ours = false;
    for (QByteArray line : Text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray t = line.trimmed();
        if (t.isEmpty())
            continue;
        if (t.startsWith('[')) {
            ours = Unescaped(t, Kind).toLower() == "[" + Section.toLower() + "]";
            if (ours)
                continue; // the store makes its section when it is missing
        } else if (ours && !t.startsWith(';') && !t.startsWith('#') && t.contains('=')) {
            const QByteArray name = Unescaped(t.left(t.indexOf('=')).trimmed(), Kind).toLower();
            if (std::any_of(std::begin(OwnedNames), std::end(OwnedNames),
                            [&](const char *owned) { return name == QByteArray(owned).toLower(); }))
                continue;
        }
        kept << line;
    }
    return kept;
}

/// The port's settings as an ini file writes them: equal texts, equal settings.
QByteArray Snapshot(TCustomComPort &Port, const QString &Dir)
{
    const QString file = Dir + QStringLiteral("/snapshot.ini");
    QFile::remove(file);
    Port.StoreSettings(stIniFile, file);
    return ReadAll(file);
}

QString Lines(const QList<QByteArray> &Lines)
{
    return QString::fromUtf8(Lines.join("⏎"));
}
} // namespace

QString ScratchTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return base + QStringLiteral("/tq-store-XXXXXX");
}

QString StoreRoundTripFault(const QByteArray &File, TStoreType Kind, const QString &Dir)
{
    qputenv("XDG_CONFIG_HOME", (Dir + QStringLiteral("/home")).toLocal8Bit());
    const bool registry = Kind == stRegistry;
    const QString file = registry ? Dir + QStringLiteral("/home/tq-configurator/registry-user.ini")
                                  : Dir + QStringLiteral("/port.ini");
    const QString location =
        registry ? QStringLiteral("HKEY_CURRENT_USER\\Software\\BrenholtGroup\\TQ_DEV\\ComPort") : file;
    const QByteArray section = registry ? "Software\\BrenholtGroup\\TQ_DEV\\ComPort\\cpCOM" : "cpCOM";
    QFile::remove(file);
    QFile::remove(file + QStringLiteral(".corrupt"));
    if (!WriteAll(file, File))
        return QStringLiteral("cannot write the input");

    bool failed = false;
    auto port = MakePort(AllGroups);
    port->OnException = [&](QObject *, TComExceptions, const QString &, qint64, const QString &) { failed = true; };
    port->LoadSettings(Kind, location); // values of the wrong type may fail it; that is allowed
    if (registry && !QFile::exists(file)) {
        if (!failed)
            return QStringLiteral("the store was set aside, yet the load succeeded");
        return ReadAll(file + QStringLiteral(".corrupt")) == File ? QString()
                                                                 : QStringLiteral("the store was not set aside whole");
    }
    if (!registry && ReadAll(file) != File)
        return QStringLiteral("the load changed the file");

    SetEverything(*port);
    port->SetPort(QStringLiteral("tty=USB]%41;#x"));
    failed = false;
    port->StoreSettings(Kind, location);
    const QByteArray after = ReadAll(file);
    if (failed) {
        // An ini file is read even when a rewrite would lose lines; the store then refuses it.
        if (registry)
            return QStringLiteral("a store that loaded could not be rewritten");
        return after == File ? QString() : QStringLiteral("a failed store changed the file");
    }

    auto loaded = MakePort(AllGroups);
    loaded->OnException = port->OnException;
    loaded->LoadSettings(Kind, location);
    if (failed)
        return QStringLiteral("the rewritten file does not load");
    if (Snapshot(*loaded, Dir) != Snapshot(*port, Dir))
        return QStringLiteral("the settings read back differ");
    const QList<QByteArray> before = UnownedLines(File, Kind, section), kept = UnownedLines(after, Kind, section);
    if (before != kept)
        return QStringLiteral("lines not ours changed:\n%1\n->\n%2").arg(Lines(before), Lines(kept));
    // A rewrite of the same settings keeps them too (blank lines may settle).
    loaded->StoreSettings(Kind, location);
    if (failed || UnownedLines(ReadAll(file), Kind, section) != kept)
        return QStringLiteral("a second store of the same settings changed the file");
    return {};
}
