#include "serial/store/ComIniFile.h"

#include "serial/Exception.h"
#include "serial/store/IniDocument_p.h"
#include "serial/store/StoreTexts_p.h"

namespace {
bool HasLineBreak(const QString &Text)
{
    return Text.contains(QLatin1Char('\n')) || Text.contains(QLatin1Char('\r'))
        || Text.contains(QChar(0));
}

/// The UTF-8 form of a section name; throws when an ini line cannot hold it.
QByteArray SectionBytes(const QString &Section)
{
    if (Section.isEmpty() || Section.trimmed() != Section || HasLineBreak(Section)
        || Section.contains(QLatin1Char(']')))
        throw Exception(QStringLiteral("Invalid ini section name \"%1\"").arg(Section));
    return Section.toUtf8();
}

QByteArray IdentBytes(const QString &Ident)
{
    if (Ident.isEmpty() || Ident.trimmed() != Ident || HasLineBreak(Ident)
        || Ident.contains(QLatin1Char('=')) || Ident.startsWith(QLatin1Char('['))
        || Ident.startsWith(QLatin1Char(';')) || Ident.startsWith(QLatin1Char('#')))
        throw Exception(QStringLiteral("Invalid ini value name \"%1\"").arg(Ident));
    return Ident.toUtf8();
}
} // namespace

TComIniFile::TComIniFile(const QString &FileName) : FDoc(std::make_unique<TIniDocument>()), FFileName(FileName)
{
    if (FileName.isEmpty())
        throw Exception(QStringLiteral("No ini file name"));
    FDoc->Load(FileName);
}

TComIniFile::~TComIniFile() = default;

QString TComIniFile::ReadString(const QString &Section, const QString &Ident, const QString &Default) const
{
    const char *raw =
        FDoc->Ini().GetValue(SectionBytes(Section).constData(), IdentBytes(Ident).constData());
    if (!raw)
        return Default;
    return QString::fromUtf8(raw).left(MaxTextLength);
}

int TComIniFile::ReadInteger(const QString &Section, const QString &Ident, int Default) const
{
    int value = Default;
    const QString text = ReadString(Section, Ident, QString());
    return ParseIniInteger(text, value) ? value : Default;
}

void TComIniFile::WriteString(const QString &Section, const QString &Ident, const QString &Value)
{
    const QByteArray section = SectionBytes(Section);
    const QByteArray ident = IdentBytes(Ident);
    if (HasLineBreak(Value))
        throw Exception(QStringLiteral("An ini value cannot hold a line break"));
    FDoc->Ini().SetValue(section.constData(), ident.constData(), Value.toUtf8().constData(), nullptr,
                         true);
    FDirty = true;
}

void TComIniFile::WriteInteger(const QString &Section, const QString &Ident, int Value)
{
    WriteString(Section, Ident, QString::number(Value));
}

void TComIniFile::UpdateFile()
{
    if (!FDirty)
        return;
    FDoc->Save(FFileName);
    FDirty = false;
}
