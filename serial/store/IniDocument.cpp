#include "serial/store/IniDocument_p.h"

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

/// The lines that carry something, without their line ends: what a rewrite must keep.
std::vector<std::string_view> ContentLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    for (std::string_view line : Lines(text)) {
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (!Trimmed(line).empty())
            lines.push_back(line);
    }
    return lines;
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
    FIni.Reset();
    FTail.clear();
    FBom = false;
    FIntact = FUtf8 = true;
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
        throw EIniTooLarge(QStringLiteral("%1 is too large").arg(Path));

    std::string_view text(data.constData(), size_t(data.size()));
    FBom = text.starts_with("\xEF\xBB\xBF");
    if (FBom)
        text.remove_prefix(3);
    // Stateless, so that a sequence cut short at the end of the file counts as an error too.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(QByteArrayView(text.data(), qsizetype(text.size())));
    FUtf8 = !utf8.hasError(); // known only once decoded
    Q_UNUSED(decoded);

    if (FIni.LoadData(text.data(), text.size()) < 0)
        throw Exception(QStringLiteral("Cannot parse %1").arg(Path));

    // The parser keeps comments only in front of an entry: carry the trailing ones over.
    const std::vector<std::string_view> lines = Lines(text);
    std::string saved;
    FIni.Save(saved, false);
    const int dropped = CountComments(text) - CountComments(saved);
    if (dropped > 0) {
        size_t first = lines.size();
        int found = 0;
        while (first > 0 && found < dropped) {
            const std::string_view t = Trimmed(lines[first - 1]);
            if (!t.empty() && !IsComment(t))
                break;
            found += IsComment(t) ? 1 : 0;
            --first;
        }
        for (size_t i = first; i < lines.size(); ++i)
            FTail.append(lines[i]).append("\n");
    }
    // Whatever the parser read differently (a stray line, a bare CR that it takes for a line
    // end, a NUL that ends its reading, blanks it trims, a section given twice) would be lost
    // or moved by a rewrite; such a file is not ours to rewrite.
    FIntact = ContentLines(text) == ContentLines(Serialized());
}

std::string TIniDocument::Serialized() const
{
    std::string out;
    if (FIni.Save(out, false) < 0)
        throw Exception(QStringLiteral("Cannot format the settings"));
    return out + FTail;
}

void TIniDocument::Save(const QString &Path) const
{
    if (!FIntact)
        throw Exception(QStringLiteral("%1 holds lines that would be lost").arg(Path));
    const std::string out = (FBom ? "\xEF\xBB\xBF" : "") + Serialized();
    // Unbuffered, so that a short write (a full disk, a file-size limit) fails here instead
    // of in a flush whose failure the commit would not report. Until commit() the old file
    // stays as it was.
    QSaveFile file(Path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
        || file.write(out.data(), qint64(out.size())) != qint64(out.size()) || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw Exception(QStringLiteral("Cannot write %1: %2").arg(Path, reason));
    }
}
