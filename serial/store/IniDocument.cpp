#include "serial/store/IniDocument.h"

#include "serial/Exception.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <string_view>
#include <vector>

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool IsComment(std::string_view trimmed)
{
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

/// A line that the parser keeps: blank, comment, "[name]" or "key=value".
bool IsKeptLine(std::string_view trimmed)
{
    if (trimmed.empty() || IsComment(trimmed))
        return true;
    if (trimmed.front() == '[')
        return trimmed.find(']') == trimmed.size() - 1;
    const size_t eq = trimmed.find('=');
    return eq != std::string_view::npos && !Trimmed(trimmed.substr(0, eq)).empty();
}

int CountComments(std::string_view text)
{
    int n = 0;
    for (std::string_view line : Lines(text))
        n += IsComment(Trimmed(line)) ? 1 : 0;
    return n;
}
} // namespace

TIniDocument::TIniDocument() : FIni(/*IsUtf8*/ false, /*MultiKey*/ true, /*MultiLine*/ false)
{
    FIni.SetSpaces(false);
}

void TIniDocument::Load(const QString &Path)
{
    const QFileInfo info(Path);
    if (!info.exists())
        return;
    if (!info.isFile())
        throw Exception(QStringLiteral("%1 is not a file").arg(Path));
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot read %1: %2").arg(Path, file.errorString()));
    const QByteArray data = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw Exception(QStringLiteral("Cannot read %1: %2").arg(Path, file.errorString()));
    if (data.size() > MaxFileSize)
        throw Exception(QStringLiteral("%1 is too large").arg(Path));

    std::string_view text(data.constData(), size_t(data.size()));
    FBom = text.starts_with("\xEF\xBB\xBF");
    if (FBom)
        text.remove_prefix(3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(QByteArrayView(text.data(), qsizetype(text.size())));
    FUtf8 = !utf8.hasError(); // known only once decoded
    Q_UNUSED(decoded);

    FIntact = text.find('\0') == std::string_view::npos;
    const std::vector<std::string_view> lines = Lines(text);
    for (std::string_view line : lines)
        FIntact = FIntact && IsKeptLine(Trimmed(line));

    FIni.Reset();
    if (FIni.LoadData(text.data(), text.size()) < 0)
        throw Exception(QStringLiteral("Cannot parse %1").arg(Path));

    // The parser keeps comments only in front of an entry: carry the trailing ones over.
    std::string saved;
    FIni.Save(saved, false);
    const int dropped = CountComments(text) - CountComments(saved);
    FTail.clear();
    if (dropped != 0) {
        size_t first = lines.size();
        int found = 0;
        while (first > 0 && found < dropped) {
            const std::string_view t = Trimmed(lines[first - 1]);
            if (!t.empty() && !IsComment(t))
                break;
            found += IsComment(t) ? 1 : 0;
            --first;
        }
        FIntact = FIntact && found == dropped;
        for (size_t i = first; i < lines.size(); ++i)
            FTail.append(lines[i]).append("\n");
    }
}

void TIniDocument::Save(const QString &Path) const
{
    if (!FIntact)
        throw Exception(QStringLiteral("%1 holds lines that would be lost").arg(Path));
    std::string out = FBom ? "\xEF\xBB\xBF" : "";
    if (FIni.Save(out, false) < 0)
        throw Exception(QStringLiteral("Cannot format %1").arg(Path));
    out += FTail;
    QSaveFile file(Path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(out.data(), qint64(out.size())) != qint64(out.size()) || !file.commit())
        throw Exception(QStringLiteral("Cannot write %1: %2").arg(Path, file.errorString()));
}
