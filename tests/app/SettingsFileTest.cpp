// Settings files: exact bytes, round trips, damaged and foreign files, and safe replacement.
#include "TestSupport.h"

#include "app/FieldLimits.h"
#include "app/MainWindow.h"
#include "app/SettingsFile.h"
#include "protocol/FieldText.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtEndian>

#include <bit>
#include <cmath>
#include <sys/resource.h>

#include <gtest/gtest.h>

namespace {

const QString openReadError = QString::fromUtf8("Невозможно открыть файл для чтения");
const QString openWriteError = QString::fromUtf8("Невозможно открыть файл для записи");
const QString readError = QString::fromUtf8("Ошибка чтения из файла.");
const QString writeError = QString::fromUtf8("Ошибка записи в файл.");
const QString formatError = QString::fromUtf8("Формат файла не соответствует данной программе.");

QByteArray Signature()
{
    return QByteArray("TQ_CONF", 8);
}

QByteArray Le32(quint32 v)
{
    char le[4];
    qToLittleEndian(v, le);
    return QByteArray(le, 4);
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QStringList Texts(const TSettingsFields &fields)
{
    QStringList texts;
    for (QLineEdit *f : fields)
        texts << f->text();
    return texts;
}

class SettingsFile : public ::testing::Test {
protected:
    QString Path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    TfrmMain w;
    TSettingsFields fields = w.SettingsFields();
};

} // namespace

TEST_F(SettingsFile, DefaultWindowSavesTheKnownBytes)
{
    TMessageRecorder boxes;
    SaveSettingsFile(Path("default.tqx"), fields);
    EXPECT_TRUE(boxes.Calls.empty());
    const QByteArray expected = Signature()
        + QByteArray::fromHex("00000000" "00000000" "A8610000" "64000000" "19000000" "64000000" "0000A040");
    EXPECT_EQ(ReadAll(Path("default.tqx")), expected);
}

TEST_F(SettingsFile, EveryByteValueRoundTrips)
{
    TMessageRecorder boxes;
    for (int b = 0; b < 256; ++b) {
        SCOPED_TRACE(b);
        const quint32 pattern = quint32(b) * 0x01010101u;
        for (size_t i = 0; i < 6; ++i)
            fields[i]->setText(FormatInt(qint32(pattern ^ quint32(i))));
        const float real = std::bit_cast<float>(pattern);
        fields[6]->setText(FormatReal(real));
        SaveSettingsFile(Path("all.tqx"), fields);
        const QByteArray bytes = ReadAll(Path("all.tqx"));
        ASSERT_EQ(bytes.size(), SettingsFileSize);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(bytes.mid(8 + 4 * i, 4), Le32(pattern ^ quint32(i)));
        EXPECT_EQ(bytes.mid(32, 4), Le32(pattern)); // NaN patterns too

        const QStringList saved = Texts(fields);
        for (QLineEdit *f : fields)
            f->setText(QStringLiteral("x"));
        LoadSettingsFile(Path("all.tqx"), fields);
        EXPECT_EQ(Texts(fields), saved);
    }
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(SettingsFile, TextsAreSavedAsValuesNotAsTyped)
{
    TLocaleGuard locale(CommaLocale());
    TMessageRecorder boxes;
    w.txtInertWork->setText(QStringLiteral("007"));
    w.txtCalOn->setText(QStringLiteral("-1"));
    w.txtHystWidth->setText(QStringLiteral("2,3"));
    SaveSettingsFile(Path("typed.tqx"), fields);
    const QByteArray bytes = ReadAll(Path("typed.tqx"));
    EXPECT_EQ(bytes.mid(8, 4), QByteArray::fromHex("FFFFFFFF"));
    EXPECT_EQ(bytes.mid(32, 4), Le32(std::bit_cast<quint32>(2.3f)));
    LoadSettingsFile(Path("typed.tqx"), fields);
    EXPECT_EQ(w.txtInertWork->text(), QStringLiteral("7"));
    EXPECT_EQ(w.txtCalOn->text(), QStringLiteral("-1"));
    EXPECT_EQ(w.txtHystWidth->text(), QStringLiteral("2,29999995231628"));
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(SettingsFile, EveryLengthLoadsWhatItHoldsAndNoMore)
{
    QByteArray full = Signature();
    for (quint32 v = 1; v <= 6; ++v)
        full += Le32(1000 + v);
    full += Le32(std::bit_cast<quint32>(12.5f));
    full += QByteArray(28, '\xAB'); // bytes after the last value are never read
    const QStringList loaded = {"1001", "1002", "1003", "1004", "1005", "1006", "12.5"};

    for (int length = 0; length <= 64; ++length) {
        SCOPED_TRACE(length);
        TLocaleGuard locale(PointLocale());
        WriteAll(Path("cut.tqx"), full.left(length));
        for (QLineEdit *f : fields)
            f->setText(QStringLiteral("keep"));
        TMessageRecorder boxes;
        LoadSettingsFile(Path("cut.tqx"), fields);

        const int complete = length < 8 ? 0 : std::min((length - 8) / 4, 7);
        if (complete < 7) {
            ASSERT_EQ(boxes.Calls.size(), 1u);
            EXPECT_EQ(boxes.Calls[0].Text, readError);
            EXPECT_EQ(boxes.Calls[0].Caption, QString::fromUtf8("Ошибка"));
            EXPECT_EQ(boxes.Calls[0].Icon, QMessageBox::Critical);
        } else {
            EXPECT_TRUE(boxes.Calls.empty());
        }
        const QStringList texts = Texts(fields);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(texts[i], i < complete ? loaded[i] : QStringLiteral("keep")) << "field " << i;
    }
}

TEST_F(SettingsFile, ForeignFilesChangeNoField)
{
    const QByteArray values = QByteArray(28, '\x01');
    const QByteArray signatures[] = {QByteArray("TQ_CONF1", 8), QByteArray("TQ_CONG\0", 8), QByteArray("TQ\0CONF\0", 8),
                                     QByteArray("tq_conf\0", 8), QByteArray(8, '\0')};
    const QStringList before = Texts(fields);
    for (const QByteArray &signature : signatures) {
        WriteAll(Path("foreign.tqx"), signature + values);
        TMessageRecorder boxes;
        LoadSettingsFile(Path("foreign.tqx"), fields);
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Text, formatError);
        EXPECT_EQ(Texts(fields), before);
    }
}

TEST_F(SettingsFile, PathsThatCannotBeOpened)
{
    const QStringList before = Texts(fields);
    for (const QString &path : {Path("missing.tqx"), dir.path(), Path("no/such/dir.tqx")}) {
        TMessageRecorder boxes;
        LoadSettingsFile(path, fields);
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Text, openReadError);
        EXPECT_EQ(Texts(fields), before);
    }
    for (const QString &path : {dir.path(), Path("no/such/dir.tqx")}) {
        TMessageRecorder boxes;
        SaveSettingsFile(path, fields);
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Text, openWriteError);
    }
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}

TEST_F(SettingsFile, FieldThatDoesNotConvertLeavesTheOldFileAlone)
{
    SaveSettingsFile(Path("good.tqx"), fields);
    const QByteArray good = ReadAll(Path("good.tqx"));
    w.txtInpFlt->clear();
    EXPECT_THROW(SaveSettingsFile(Path("good.tqx"), fields), EConvertError);
    EXPECT_EQ(ReadAll(Path("good.tqx")), good);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"good.tqx"});
}

TEST_F(SettingsFile, FailedWriteKeepsTheOldFile)
{
    SaveSettingsFile(Path("good.tqx"), fields);
    const QByteArray good = ReadAll(Path("good.tqx"));
    w.txtCalOn->setText(QStringLiteral("123"));

    // A file-size limit makes the write fail the way a full disk would. The application
    // object, not the test, keeps SIGXFSZ from ending the program.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit tiny = saved;
    tiny.rlim_cur = 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    TMessageRecorder boxes;
    SaveSettingsFile(Path("good.tqx"), fields);
    setrlimit(RLIMIT_FSIZE, &saved);

    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, writeError);
    EXPECT_EQ(ReadAll(Path("good.tqx")), good);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"good.tqx"});
}

TEST_F(SettingsFile, RandomFilesLoadTextsThatConvertBackToTheirBytes)
{
    TLocaleGuard locale(CommaLocale());
    QRandomGenerator random(20240611);
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        QByteArray bytes(random.bounded(0, 49), Qt::Uninitialized);
        for (char &c : bytes)
            c = char(random.bounded(256));
        if (round % 4 != 0 && bytes.size() >= 8)
            bytes.replace(0, 8, Signature());
        WriteAll(Path("random.tqx"), bytes);
        for (QLineEdit *f : fields)
            f->setText(QStringLiteral("untouched"));
        TMessageRecorder boxes;
        LoadSettingsFile(Path("random.tqx"), fields);
        EXPECT_LE(boxes.Calls.size(), 1u);

        for (size_t i = 0; i < fields.size(); ++i) {
            const QString text = fields[i]->text();
            const qsizetype at = 8 + 4 * qsizetype(i);
            if (text == QStringLiteral("untouched")) {
                EXPECT_FALSE(bytes.startsWith(Signature()) && bytes.size() >= at + 4) << "field " << i;
                continue;
            }
            ASSERT_GE(bytes.size(), at + 4);
            const quint32 raw = qFromLittleEndian<quint32>(bytes.constData() + at);
            if (i < 6) {
                EXPECT_EQ(quint32(StrToInt(text)), raw) << text.toStdString();
            } else {
                EXPECT_EQ(std::bit_cast<quint32>(StrToStoredSingle(text)), raw) << text.toStdString();
            }
        }
    }
}

// The toolbar buttons run the dialogs and then the file operations.
TEST_F(SettingsFile, ToolbarButtonsSaveAndLoadThroughTheDialogs)
{
    // Chooses name in dialog once it runs; a dialog that does not take the choice is cancelled
    // so that the test fails instead of waiting for a user.
    const auto choose = [](QFileDialog *dialog, const QString &name) {
        if (!name.isEmpty())
            dialog->selectFile(name);
        QTimer::singleShot(0, dialog, [dialog, name] {
            if (!name.isEmpty())
                static_cast<QDialog *>(dialog)->accept(); // as the dialog's own button does
            if (dialog->isVisible())
                dialog->reject();
        });
    };
    // Made on first use: building them is most of what the window would spend starting.
    EXPECT_TRUE(w.findChildren<QFileDialog *>().isEmpty());
    TMessageRecorder boxes;
    w.sdSave()->setDirectory(dir.path());
    choose(w.sdSave(), QStringLiteral("from-dialog")); // typed without the extension
    w.tbSave->click();
    ASSERT_TRUE(QFile::exists(Path("from-dialog.tqx")));

    w.txtCalTime->setText(QStringLiteral("1"));
    choose(w.odOpen(), QString());
    w.ToolButton1->click();
    EXPECT_EQ(w.txtCalTime->text(), QStringLiteral("1"));

    w.odOpen()->setDirectory(dir.path());
    choose(w.odOpen(), QStringLiteral("from-dialog.tqx"));
    w.ToolButton1->click();
    EXPECT_EQ(w.txtCalTime->text(), QStringLiteral("25000"));
    EXPECT_TRUE(boxes.Calls.empty());
}
