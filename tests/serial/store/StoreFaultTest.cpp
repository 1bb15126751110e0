// The settings store under faults: a full disk, a file-size limit, stray line ends and corrupt
// files. Nothing the user had is lost, and every failure is reported.

#include "SmallDisk.h"
#include "StoreFixture.h"

#include <csignal>
#include <sys/resource.h>

namespace {
class StoreFaults : public StoreTest {
protected:
    void ExpectSetAsideOnce(const QByteArray &Corrupt, const QString &Aside);
};

const QByteArray OurSection = "[Software\\BrenholtGroup\\TQ_DEV\\ComPort\\cpCOM]\n";

/// A store of about Size bytes: our key after another program's section.
QByteArray StoreOfSize(int Size)
{
    QByteArray text = "; kept by hand\n[Software\\Other]\n";
    for (int i = 0; text.size() < Size - 80; ++i)
        text += "Value" + QByteArray::number(i) + "=sz:" + QByteArray(40, char('a' + i % 26)) + "\n";
    return text + "\n" + OurSection + "Port=sz:ttyS0\nBaudRate=sz:9600\n";
}

TEST_F(StoreFaults, AFullDiskKeepsTheStoreWholeAndReportsError16)
{
    TSmallDisk disk(Path("home"));
    SKIP_WITHOUT_SMALL_DISK(disk);
    for (const int size : {118, 14824}) {
        SCOPED_TRACE(size);
        const QByteArray before = StoreOfSize(size);
        WriteFile(UserStore(), before);
        auto port = MakePort();
        port->LoadSettings(stRegistry, UserKey);
        port->SetPort(QStringLiteral("ttyUSB1"));

        ASSERT_TRUE(disk.Fill());
        EXPECT_EQ(ExpectComError([&] { port->StoreSettings(stRegistry, UserKey); }).Code(), 16);
        EXPECT_EQ(ReadFile(UserStore()), before);
        // Some room, yet less than the new store needs.
        if (size > 8192) {
            ASSERT_TRUE(disk.Free(8192));
            EXPECT_EQ(ExpectComError([&] { port->StoreSettings(stRegistry, UserKey); }).Code(), 16);
            EXPECT_EQ(ReadFile(UserStore()), before);
        }
        // No temporary file is left behind, and the next start loads the old choice.
        EXPECT_EQ(QDir(QFileInfo(UserStore()).path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("registry-user.ini")});
        auto next = MakePort();
        next->LoadSettings(stRegistry, UserKey);
        EXPECT_EQ(next->Port(), QStringLiteral("ttyS0"));

        ASSERT_TRUE(disk.Free(1 << 20));
        port->StoreSettings(stRegistry, UserKey);
        next->LoadSettings(stRegistry, UserKey);
        EXPECT_EQ(next->Port(), QStringLiteral("ttyUSB1"));
    }
}

TEST_F(StoreFaults, AFileSizeLimitFailsTheStoreWithoutTouchingIt)
{
    const QByteArray before = StoreOfSize(4000);
    WriteFile(UserStore(), before);
    auto port = MakePort();
    port->SetPort(QStringLiteral("ttyUSB2"));

    // As the configurator runs: the signal ignored, so the write fails with EFBIG.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = saved;
    tiny.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const int code = ExpectComError([&] { port->StoreSettings(stRegistry, UserKey); }).Code();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(code, 16);
    EXPECT_EQ(ReadFile(UserStore()), before);
    EXPECT_EQ(AllFiles(), QStringList{QStringLiteral("home/tq-configurator/registry-user.ini")});
}

/// A store the accessor cannot keep whole: the load that finds it fails with error 17 and sets
/// it aside unchanged; the store that follows writes a fresh file, and so does every later one.
void StoreFaults::ExpectSetAsideOnce(const QByteArray &Corrupt, const QString &Aside)
{
    WriteFile(UserStore(), Corrupt);
    auto port = MakePort();
    port->SetPort(QStringLiteral("before"));
    EXPECT_EQ(ExpectComError([&] { port->LoadSettings(stRegistry, UserKey); }).Code(), 17);
    EXPECT_EQ(port->Port(), QStringLiteral("before")); // nothing was read from it
    EXPECT_FALSE(QFile::exists(UserStore()));
    EXPECT_EQ(ReadFile(Aside), Corrupt);

    port->SetPort(QStringLiteral("ttyUSB0"));
    port->StoreSettings(stRegistry, UserKey);
    auto next = MakePort();
    next->LoadSettings(stRegistry, UserKey);
    EXPECT_EQ(next->Port(), QStringLiteral("ttyUSB0"));
    EXPECT_EQ(ReadFile(Aside), Corrupt);
}

TEST_F(StoreFaults, ACorruptStoreIsSetAsideOnceAndAFreshOneWritten)
{
    const QByteArray cases[] = {
        QByteArray("[Other]\nKeep=sz:me\n[unclo"),                 // cut short
        QByteArray("[Other]\nKeep=sz:me\nno equals sign here\n"),  // a line the parser drops
        QByteArray("; caf\xE9 (Latin-1)\n[Other]\nKeep=sz:me\n"),  // not UTF-8
        QByteArray("[Other]\nKeep=sz:caf\xC3"),                   // UTF-8 cut short at the end
        QByteArray("[Other]\nKeep=sz:me\n\0[Software]\n", 30),     // binary
        QByteArray("[A]\nx=sz:1\n[B]\ny=sz:2\n[A]\nz=sz:3\n"),     // a section twice: would move
        QByteArray("[Other]\nKeep = sz:me\n"),                     // blanks the parser trims
    };
    const QString aside = UserStore() + QStringLiteral(".corrupt");
    for (const QByteArray &corrupt : cases) {
        SCOPED_TRACE(corrupt.constData());
        QFile::remove(aside);
        ExpectSetAsideOnce(corrupt, aside);
    }
    // Larger than any store of ours: well-formed, yet not read at all.
    QFile::remove(aside);
    QByteArray huge = OurSection + "Port=sz:ttyS0\n";
    huge += QByteArray(16 * 1024 * 1024, ';');
    ExpectSetAsideOnce(huge, aside);

    // A second corrupt store never replaces the first one set aside.
    const QByteArray first = ReadFile(aside);
    ExpectSetAsideOnce("[again", aside + QStringLiteral(".1"));
    EXPECT_EQ(ReadFile(aside), first);
}

TEST_F(StoreFaults, BareCarriageReturnsMakeAStoreCorruptInsteadOfLosingText)
{
    // The parser would end a line at each CR: "note kept by hand" would be dropped, and
    // "[Other" would become a line the store calls corrupt at every later start.
    const QString aside = UserStore() + QStringLiteral(".corrupt");
    for (const QByteArray &corrupt : {OurSection + "Port=sz:ttyS0\rnote kept by hand\n",
                                      QByteArray("[Other\r]\nKeep=sz:me\n") + OurSection,
                                      OurSection + "Port=sz:ttyS0\r\r\n"}) {
        SCOPED_TRACE(corrupt.constData());
        QFile::remove(aside);
        ExpectSetAsideOnce(corrupt, aside);
    }
    QFile::remove(aside);

    // CR LF line ends are line ends: the lines are kept, only their ends become LF.
    WriteFile(UserStore(), "; from Windows\r\n[Other]\r\nKeep=sz:me\r\n\r\n" + OurSection + "Port=sz:ttyS3\r\n");
    auto port = MakePort();
    port->LoadSettings(stRegistry, UserKey);
    EXPECT_EQ(port->Port(), QStringLiteral("ttyS3"));
    port->SetPort(QStringLiteral("ttyS4"));
    port->StoreSettings(stRegistry, UserKey);
    const QByteArray after = ReadFile(UserStore());
    EXPECT_TRUE(after.startsWith("; from Windows\n")) << after.constData();
    EXPECT_TRUE(after.contains("\n[Other]\nKeep=sz:me\n"));
    EXPECT_FALSE(after.contains('\r'));
    EXPECT_TRUE(after.contains(OurSection + "Port=sz:ttyS4\n"));
    EXPECT_FALSE(QFile::exists(aside));
}
} // namespace
