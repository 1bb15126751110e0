// Port settings in ini files.

#include "StoreFixture.h"

namespace {
using IniStore = StoreTest;

TEST_F(IniStore, AllGroupsRoundTripAndTheBasicGroupAlone)
{
    auto port = MakePort(AllGroups);
    SetEverything(*port);
    port->StoreSettings(stIniFile, Path("all.ini"));
    auto loaded = MakePort(AllGroups);
    loaded->LoadSettings(stIniFile, Path("all.ini"));
    ExpectSameSettings(*port, *loaded);
    const QByteArray text = ReadFile(Path("all.ini"));
    EXPECT_TRUE(text.startsWith("[cpCOM]\nPort=ttyUSB3\nBaudRate=Custom\nCustomBaudRate=250000\n"));
    EXPECT_TRUE(text.contains("\nFlowControl.XonChar=#32\n"));

    auto basic = MakePort();
    basic->SetPort(QStringLiteral("ttyACM0"));
    basic->SetDataBits(dbFive);
    basic->StoreSettings(stIniFile, Path("basic.ini"));
    EXPECT_FALSE(ReadFile(Path("basic.ini")).contains("CustomBaudRate"));
    auto back = MakePort();
    back->LoadSettings(stIniFile, Path("basic.ini"));
    ExpectSameSettings(*basic, *back);
}

TEST_F(IniStore, MissingValuesLeaveTheSettingsAsTheyWere)
{
    WriteFile(Path("empty.ini"), "[cpCOM]\n[Other]\nPort=elsewhere\n");
    auto port = MakePort(AllGroups);
    SetEverything(*port);
    auto reference = MakePort(AllGroups);
    SetEverything(*reference);
    ASSERT_EQ(reference->BaudRate(), brCustom);
    reference->SetCustomBaudRate(9600); // the one value whose absence does not keep it
    port->LoadSettings(stIniFile, Path("empty.ini"));
    ExpectSameSettings(*reference, *port);
    // A file that does not exist yet reads the same way and is not created.
    port->LoadSettings(stIniFile, Path("missing.ini"));
    ExpectSameSettings(*reference, *port);
    EXPECT_FALSE(QFile::exists(Path("missing.ini")));
}

TEST_F(IniStore, ProfileRulesForNumbersCustomRatesAndLongTexts)
{
    WriteFile(Path("p.ini"), "[cpCOM]\nBaudRate=custom\n"
                             "Buffer.OutputSize=0x1000\nBuffer.InputSize=12abc\n"
                             "Timeouts.ReadInterval=0xFFFFFFFF\nTimeouts.ReadTotalConstant=0x\n"
                             "Timeouts.ReadTotalMultiplier=-0x5\nTimeouts.WriteTotalConstant=99999999999\n"
                             "Timeouts.WriteTotalMultiplier= 42 \n"
                             "Port=" + QByteArray(3000, 'p') + "\n");
    auto port = MakePort({spBasic, spBuffer, spTimeouts});
    port->SetCustomBaudRate(115200);
    port->Timeouts().SetReadTotalC(3);
    port->Timeouts().SetReadTotalM(4);
    port->Timeouts().SetWriteTotalC(5);
    port->LoadSettings(stIniFile, Path("p.ini"));
    EXPECT_EQ(port->BaudRate(), brCustom);
    EXPECT_EQ(port->CustomBaudRate(), 9600); // a missing custom rate is 9600, not the port's own
    EXPECT_EQ(port->Buffer().OutputSize(), 4096);
    EXPECT_EQ(port->Buffer().InputSize(), 1024);          // not a number: unchanged
    EXPECT_EQ(port->Timeouts().ReadInterval(), -1);       // all 32 bits
    EXPECT_EQ(port->Timeouts().ReadTotalConstant(), 3);   // "0x" alone
    EXPECT_EQ(port->Timeouts().ReadTotalMultiplier(), 4); // no sign after "0x"
    EXPECT_EQ(port->Timeouts().WriteTotalConstant(), 5);  // beyond 32 bits
    EXPECT_EQ(port->Timeouts().WriteTotalMultiplier(), 42);
    EXPECT_EQ(port->Port(), QString(2047, QLatin1Char('p')));
}

TEST_F(IniStore, StoringKeepsTheRestOfTheFile)
{
    const QByteArray before = "\xEF\xBB\xBF; header\n\n[First]\nKey=1\nKey=2\n; about cpcom\n"
                              "[CPCOM]\nport=old\nmine=\xC0\xC1 cp1251 bytes\n; last words\n";
    WriteFile(Path("keep.ini"), before);
    auto port = MakePort();
    port->SetPort(QStringLiteral("new"));
    port->StoreSettings(stIniFile, Path("keep.ini"));
    const QByteArray after = ReadFile(Path("keep.ini"));
    EXPECT_TRUE(after.startsWith("\xEF\xBB\xBF; header\n")) << after.constData();
    EXPECT_TRUE(after.contains("[First]\nKey=1\nKey=2\n"));
    EXPECT_TRUE(after.contains("; about cpcom\n[CPCOM]\nPort=new\nmine=\xC0\xC1 cp1251 bytes\n"));
    EXPECT_TRUE(after.endsWith("; last words\n"));
    EXPECT_EQ(after.toLower().count("port="), 1);
}

TEST_F(IniStore, FilesThatCannotBeKeptWholeOrWrittenAreReported)
{
    // Lines that a rewrite would drop: the file is left alone, yet it can still be read.
    const QByteArray odd = "[cpCOM]\nPort=ttyS4\nstray text\n[open\n";
    WriteFile(Path("odd.ini"), odd);
    auto port = MakePort();
    EXPECT_EQ(ExpectComError([&] { port->StoreSettings(stIniFile, Path("odd.ini")); }).Code(), 16);
    EXPECT_EQ(ReadFile(Path("odd.ini")), odd);
    port->LoadSettings(stIniFile, Path("odd.ini"));
    EXPECT_EQ(port->Port(), QStringLiteral("ttyS4"));

    // No name, a folder, a folder that does not exist, a value an ini line cannot hold.
    for (const QString &bad : {QString(), FDir.path(), Path("nowhere/x.ini")})
        EXPECT_EQ(ExpectComError([&] { port->StoreSettings(stIniFile, bad); }).Code(), 16) << bad.toStdString();
    EXPECT_EQ(ExpectComError([&] { port->LoadSettings(stIniFile, QString()); }).Code(), 17);
    EXPECT_EQ(ExpectComError([&] { port->LoadSettings(stIniFile, FDir.path()); }).Code(), 17);
    port->SetPort(QStringLiteral("a\nb=c"));
    EXPECT_EQ(ExpectComError([&] { port->StoreSettings(stIniFile, Path("odd.ini")); }).Code(), 16);
    port->SetPort(QStringLiteral("ttyS5"));
    port->setObjectName(QStringLiteral("a]b"));
    EXPECT_EQ(ExpectComError([&] { port->StoreSettings(stIniFile, Path("new.ini")); }).Code(), 16);
    EXPECT_FALSE(QFile::exists(Path("new.ini")));
}

TEST_F(IniStore, ARelativeNameIsTakenFromTheCurrentDirectory)
{
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(FDir.path()));
    auto port = MakePort();
    port->SetPort(QStringLiteral("here"));
    port->StoreSettings(stIniFile, QStringLiteral("port.ini"));
    QDir::setCurrent(old);
    EXPECT_TRUE(ReadFile(Path("port.ini")).contains("Port=here\n"));
}
} // namespace

TEST_F(IniStore, LoadingIntoAnOpenPortAppliesOnceAtTheEnd)
{
    WriteFile(Path("open.ini"), "[cpCOM]\nPort=COM1\nBaudRate=19200\nStopBits=2\nDataBits=7\n"
                                "Parity=Even\nFlowControl=None\n");
    auto fake = std::make_shared<FakeBackend>();
    auto port = MakePort();
    port->SetEvents({});
    ASSERT_TRUE(port->SetBackend(fake));
    port->Open();
    const int applies = fake->Applies;
    port->LoadSettings(stIniFile, Path("open.ini"));
    EXPECT_EQ(fake->Applies, applies + 1); // one batch, not one apply per value
    EXPECT_EQ(fake->Applied.BaudRate, 19200);
    EXPECT_EQ(fake->Applied.DataBits, 7);
    EXPECT_EQ(fake->Applied.Parity, prEven);
    EXPECT_TRUE(fake->Applied.TwoStopBits);

    // A device that refuses the batch fails the load; the values stay applied to the port.
    WriteFile(Path("open.ini"), "[cpCOM]\nPort=COM1\nBaudRate=57600\n");
    fake->ApplyError = EIO;
    EXPECT_EQ(ExpectComError([&] { port->LoadSettings(stIniFile, Path("open.ini")); }).Code(), 17);
    EXPECT_EQ(port->BaudRate(), br57600);
    EXPECT_EQ(fake->Applies, applies + 2);
}
