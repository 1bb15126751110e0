// The version reader and the About box, on the real program and on hand-made program files.
#include "TestSupport.h"

#include "app/AboutBox.h"
#include "app/MainWindow.h"
#include "app/Version.h"

#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstddef>
#include <cstring>
#include <elf.h>

#include <gtest/gtest.h>

namespace {

const QString aboutCaption = QString::fromUtf8("О программе");

// A minimal 64-bit ELF file: header, the section's bytes, the name table, three section headers.
QByteArray MakeElf(const QByteArray &data, const char *sectionName = ".tq_version")
{
    const QByteArray names = QByteArray(".shstrtab", 10) + QByteArray(sectionName) + '\0';
    const QByteArray nameTable = QByteArray(1, '\0') + names;
    const quint64 dataAt = sizeof(Elf64_Ehdr);
    const quint64 namesAt = dataAt + quint64(data.size());
    const quint64 headersAt = namesAt + quint64(nameTable.size());

    Elf64_Ehdr eh{};
    std::memcpy(eh.e_ident, ELFMAG, SELFMAG);
    eh.e_ident[EI_CLASS] = ELFCLASS64;
    eh.e_ident[EI_DATA] = ELFDATA2LSB;
    eh.e_ident[EI_VERSION] = EV_CURRENT;
    eh.e_type = ET_EXEC;
    eh.e_machine = EM_X86_64;
    eh.e_version = EV_CURRENT;
    eh.e_shoff = headersAt;
    eh.e_ehsize = sizeof eh;
    eh.e_shentsize = sizeof(Elf64_Shdr);
    eh.e_shnum = 3;
    eh.e_shstrndx = 1;

    Elf64_Shdr sh[3]{};
    sh[1].sh_name = 1;
    sh[1].sh_type = SHT_STRTAB;
    sh[1].sh_offset = namesAt;
    sh[1].sh_size = quint64(nameTable.size());
    sh[2].sh_name = 11;
    sh[2].sh_type = SHT_PROGBITS;
    sh[2].sh_flags = SHF_ALLOC;
    sh[2].sh_offset = dataAt;
    sh[2].sh_size = quint64(data.size());

    return QByteArray(reinterpret_cast<const char *>(&eh), sizeof eh) + data + nameTable
        + QByteArray(reinterpret_cast<const char *>(sh), sizeof sh);
}

QByteArray Block(const char *lines)
{
    return QByteArray("TQVI1\n") + lines;
}

class Version : public ::testing::Test {
protected:
    QString Write(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("program-%1").arg(++count));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    // The message of the reader's failure, or "" when it succeeded.
    static QString Failure(const QString &path)
    {
        try {
            version v(path);
            return QString();
        } catch (const EVersionError &e) {
            return e.Message();
        }
    }

    QTemporaryDir dir;
    int count = 0;
};

QString SecondLine(const QString &text)
{
    return text.split(u'\n').value(1);
}

} // namespace

TEST_F(Version, TheProgramCarriesTheBuildsVersion)
{
    version v(QStringLiteral(TQ_CONFIGURATOR_PATH));
    EXPECT_EQ(v.FileVersion(), QStringLiteral("1.0.0.2"));
    EXPECT_EQ(v.Value(QStringLiteral("ProductVersion")), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(v.Value(QStringLiteral("fileversion")), QStringLiteral("1.0.0.2")); // keys ignore case
    EXPECT_EQ(v.Value(QStringLiteral("NoSuchKey")), QString());

    TMessageRecorder boxes;
    ShowAboutBox(QStringLiteral(TQ_CONFIGURATOR_PATH));
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Caption, aboutCaption);
    EXPECT_EQ(boxes.Calls[0].Icon, QMessageBox::Information);
    EXPECT_EQ(boxes.Calls[0].Text.count(u'\n'), 3);
    EXPECT_TRUE(SecondLine(boxes.Calls[0].Text).startsWith(QString::fromUtf8("Версия 1.0.0.2. ")));
    EXPECT_TRUE(boxes.Calls[0].Text.startsWith(
        QString::fromUtf8("Конфигуратор ёмкостного датчика уровня Brenholt Level Sensor.\n")));
}

TEST_F(Version, BuildWithoutTheBlockShowsTheFallback)
{
    // These tests are linked without the block, like a program built without one.
    try {
        version v;
        FAIL() << "a version was read from a build without one";
    } catch (const EVersionError &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("No version information found (Windows error: ")));
    }

    TfrmMain w;
    TMessageRecorder boxes;
    w.tbAbout->click();
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, AboutFallbackText());
    EXPECT_EQ(boxes.Calls[0].Caption, aboutCaption);
    EXPECT_EQ(boxes.Calls[0].Icon, QMessageBox::Information);
    EXPECT_FALSE(AboutFallbackText().contains(QString::fromUtf8("Версия")));
    EXPECT_EQ(AboutFallbackText().count(u'\n'), 3);
}

TEST_F(Version, FirstTranslationChoosesTheStrings)
{
    const QString path = Write(MakeElf(Block("\\VarFileInfo\\Translation=040904b0 041904e3\n"
                                             "\\StringFileInfo\\041904E3\\FileVersion=1.1\n"
                                             "\\StringFileInfo\\040904B0\\FileVersion=9.9\n")
                                       + QByteArray(7, '\0'))); // padding after the block
    version v(path);
    EXPECT_EQ(v.FileVersion(), QStringLiteral("9.9"));
}

TEST_F(Version, TranslationWithoutFileVersionGivesAnEmptyVersion)
{
    const QString path = Write(MakeElf(Block("\\VarFileInfo\\Translation=041904e3\n"
                                             "\\StringFileInfo\\041904e3\\ProductVersion=1.0.0.0\n")));
    version v(path);
    EXPECT_EQ(v.FileVersion(), QString());
    TMessageRecorder boxes;
    ShowAboutBox(path);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_TRUE(SecondLine(boxes.Calls[0].Text).startsWith(QString::fromUtf8("Версия . ")));
}

TEST_F(Version, EachFailureHasItsMessageAndShowsTheFallback)
{
    QByteArray badOffset = MakeElf(Block("\\VarFileInfo\\Translation=041904e3\n"));
    Elf64_Ehdr eh;
    std::memcpy(&eh, badOffset.constData(), sizeof eh);
    eh.e_shoff = quint64(badOffset.size()) - 10; // headers run past the end of the file
    badOffset.replace(0, sizeof eh, QByteArray(reinterpret_cast<const char *>(&eh), sizeof eh));

    QByteArray hugeCount = MakeElf(Block("\\VarFileInfo\\Translation=041904e3\n"));
    eh.e_shoff = sizeof eh;
    eh.e_shnum = 0; // extended count taken from a header that is really section data
    hugeCount.replace(0, sizeof eh, QByteArray(reinterpret_cast<const char *>(&eh), sizeof eh));

    const QString noBlock = QStringLiteral("No version information found (Windows error: ");
    const QString noTranslation = QStringLiteral("Requested localized version information not available");
    const std::pair<QString, QString> cases[] = {
        {QString(), QStringLiteral("Could not get application name")},
        {dir.filePath(QStringLiteral("missing")), noBlock},
        {dir.path(), noBlock},
        {Write("#!/bin/sh\necho not a program\n"), noBlock},
        {Write(MakeElf(Block("\\VarFileInfo\\Translation=041904e3\n"), ".other")), noBlock},
        {Write(MakeElf(Block("\\VarFileInfo\\Translation=041904e3\n")).left(100)), noBlock},
        {Write(badOffset), noBlock},
        {Write(hugeCount), noBlock},
        {Write(MakeElf(QByteArray())), noBlock},
        {Write(MakeElf(Block("\\StringFileInfo\\041904e3\\FileVersion=1.0.0.2\n"))), noTranslation},
        {Write(MakeElf(Block("\\VarFileInfo\\Translation=04xx04e3\n"))), noTranslation},
        {Write(MakeElf("garbage that is no block")), noTranslation},
    };
    for (const auto &[path, message] : cases) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_TRUE(Failure(path).startsWith(message)) << Failure(path).toStdString();
        if (path.isEmpty())
            continue; // an empty path asks for the running program
        TMessageRecorder boxes;
        ShowAboutBox(path);
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Text, AboutFallbackText());
    }
}
