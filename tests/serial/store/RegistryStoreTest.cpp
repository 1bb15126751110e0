// The per-user settings store: round trips, first start, bad stores and odd locations.

#include "StoreFixture.h"

namespace {
using RegistryStore = StoreTest;

TEST_F(RegistryStore, FirstLoadCreatesTheKeyAndGivesAnEmptyPortAt9600_8N1)
{
    auto port = MakePort();
    port->SetPort(QStringLiteral("ttyS0"));
    port->SetBaudRate(br19200);
    port->SetDataBits(dbSeven);
    port->Parity().SetBits(prOdd);
    port->SetStopBits(sbTwoStopBits);
    port->FlowControl().SetFlowControl(fcHardware);

    port->LoadSettings(stRegistry, UserKey);

    EXPECT_EQ(port->Port(), QString());
    EXPECT_EQ(port->BaudRate(), br9600);
    EXPECT_EQ(port->DataBits(), dbEight);
    EXPECT_EQ(port->Parity().Bits(), prNone);
    EXPECT_EQ(port->StopBits(), sbOneStopBit);
    EXPECT_EQ(port->FlowControl().GetFlowControl(), fcHardware); // "Custom" leaves the flags
    EXPECT_EQ(ReadFile(UserStore()).trimmed(), QByteArray("[Software\\BrenholtGroup\\TQ_DEV\\ComPort\\cpCOM]"));
}

TEST_F(RegistryStore, BasicGroupRoundTripKeepsTheCustomRateOnlyWhenItIsUsed)
{
    auto port = MakePort();
    port->SetPort(QStringLiteral("ttyUSB0"));
    port->SetStopBits(sbOne5StopBits);
    port->FlowControl().SetFlowControl(fcSoftware);
    port->StoreSettings(stRegistry, UserKey);
    EXPECT_FALSE(ReadFile(UserStore()).contains("CustomBaudRate"));
    EXPECT_TRUE(ReadFile(UserStore()).contains("Port=sz:ttyUSB0\n"));

    port->SetBaudRate(brCustom);
    port->SetCustomBaudRate(250000);
    port->StoreSettings(stRegistry, UserKey);
    const QByteArray text = ReadFile(UserStore());
    EXPECT_TRUE(text.contains("BaudRate=sz:Custom\n"));
    EXPECT_TRUE(text.contains("CustomBaudRate=dword:250000\n"));

    auto loaded = MakePort();
    loaded->LoadSettings(stRegistry, UserKey);
    ExpectSameSettings(*port, *loaded);
    EXPECT_EQ(loaded->FlowControl().GetFlowControl(), fcSoftware);
}

TEST_F(RegistryStore, AllGroupsRoundTrip)
{
    auto port = MakePort(AllGroups);
    SetEverything(*port);
    port->StoreSettings(stRegistry, UserKey);
    auto loaded = MakePort(AllGroups);
    loaded->LoadSettings(stRegistry, UserKey);
    ExpectSameSettings(*port, *loaded);
    // Characters: printable as themselves, the rest as a decimal code.
    const QByteArray text = ReadFile(UserStore());
    EXPECT_TRUE(text.contains("EventChar=sz:~\n"));
    EXPECT_TRUE(text.contains("FlowControl.XonChar=sz:#32\n"));
    EXPECT_TRUE(text.contains("Parity.ReplaceChar=sz:#128\n"));
    EXPECT_TRUE(text.contains("Timeouts.ReadInterval=dword:5\n"));
}

TEST_F(RegistryStore, ValuesOfTheWrongTypeFailTheLoadAfterTheValuesBeforeThem)
{
    WriteFile(UserStore(), "[Software\\BrenholtGroup\\TQ_DEV\\ComPort\\cpCOM]\n"
                           "Port=sz:ttyS7\nBaudRate=dword:9600\n");
    auto port = MakePort();
    EXPECT_EQ(ExpectComError([&] { port->LoadSettings(stRegistry, UserKey); }).Code(), 17);
    EXPECT_EQ(port->Port(), QStringLiteral("ttyS7"));

    // An integer stored as text, and one missing altogether.
    WriteFile(UserStore(), "[Software\\BrenholtGroup\\TQ_DEV\\ComPort\\cpCOM]\n"
                           "BaudRate=sz:Custom\nCustomBaudRate=sz:250000\n");
    EXPECT_EQ(ExpectComError([&] { port->LoadSettings(stRegistry, UserKey); }).Code(), 17);
    auto buffers = MakePort({spBuffer});
    EXPECT_EQ(ExpectComError([&] { buffers->LoadSettings(stRegistry, UserKey); }).Code(), 17);
    // Values that are no 32-bit number, or have no type at all.
    for (const char *bad : {"dword:4294967296", "dword:12x", "dword:", "2048"}) {
        WriteFile(UserStore(), QByteArray("[Software\\BrenholtGroup\\TQ_DEV\\ComPort\\cpCOM]\n"
                                          "Buffer.OutputSize=dword:10\nBuffer.InputSize=") + bad + "\n");
        EXPECT_EQ(ExpectComError([&] { buffers->LoadSettings(stRegistry, UserKey); }).Code(), 17) << bad;
        EXPECT_EQ(buffers->Buffer().OutputSize(), 10);
    }
    WriteFile(UserStore(), "[Software\\BrenholtGroup\\TQ_DEV\\ComPort\\cpCOM]\n"
                           "Buffer.OutputSize=dword:4294967295\nBuffer.InputSize=dword:-2\n");
    buffers->LoadSettings(stRegistry, UserKey);
    EXPECT_EQ(buffers->Buffer().OutputSize(), -1);
    EXPECT_EQ(buffers->Buffer().InputSize(), -2);
}

TEST_F(RegistryStore, AStoreThatCannotBeReadOrWrittenIsReported)
{
    // A folder where the file should be cannot be read (this holds for root, too).
    QDir().mkpath(UserStore());
    auto port = MakePort();
    EXPECT_EQ(ExpectComError([&] { port->LoadSettings(stRegistry, UserKey); }).Code(), 17);
    EXPECT_EQ(ExpectComError([&] { port->StoreSettings(stRegistry, UserKey); }).Code(), 16);

    // A configuration home below a plain file cannot be created. Loading then reads every
    // text as empty, as it would from a key that could not be created.
    WriteFile(Path("plain"), "x");
    qputenv("XDG_CONFIG_HOME", Path("plain/home").toLocal8Bit());
    port->SetPort(QStringLiteral("ttyS1"));
    EXPECT_EQ(ExpectComError([&] { port->StoreSettings(stRegistry, UserKey); }).Code(), 16);
    port->LoadSettings(stRegistry, UserKey);
    EXPECT_EQ(port->Port(), QString());
}

TEST_F(RegistryStore, StoringKeepsOtherKeysAndValues)
{
    WriteFile(UserStore(), "; kept\n[Software\\Other]\nName=sz:value\n\n"
                           "[software\\brenholtgroup\\tq_dev\\comport\\CPCOM]\nport=sz:old\nExtra=dword:1\n");
    auto port = MakePort();
    port->SetPort(QStringLiteral("new"));
    port->StoreSettings(stRegistry, UserKey);
    const QByteArray text = ReadFile(UserStore());
    EXPECT_TRUE(text.startsWith("; kept\n"));
    EXPECT_TRUE(text.contains("[Software\\Other]\nName=sz:value\n"));
    EXPECT_TRUE(text.contains("port=sz:new\n")) << text.constData(); // same value, any case
    EXPECT_TRUE(text.contains("Extra=dword:1\n"));
    EXPECT_FALSE(text.contains("old"));
    EXPECT_EQ(text.count("[software\\brenholtgroup"), 1);
}

TEST_F(RegistryStore, LocationsSelectTheRootAndTheKeyLikeTheRegistry)
{
    auto port = MakePort();
    port->SetPort(QStringLiteral("m"));
    port->StoreSettings(stRegistry, QStringLiteral("hkey_local_machine\\Soft\\"));
    EXPECT_TRUE(ReadFile(MachineStore()).startsWith("[Soft\\cpCOM]\nPort=sz:m\n"));

    // An unknown or abbreviated root is dropped and the user's store is used.
    port->SetPort(QStringLiteral("u"));
    port->StoreSettings(stRegistry, QStringLiteral("HKCU\\A"));
    port->StoreSettings(stRegistry, QStringLiteral("Software\\X"));
    port->StoreSettings(stRegistry, QStringLiteral("HKEY_CURRENT_USER\\"));
    const QByteArray user = ReadFile(UserStore());
    EXPECT_TRUE(user.contains("[A\\cpCOM]\n"));
    EXPECT_TRUE(user.contains("[X\\cpCOM]\n"));
    EXPECT_TRUE(user.contains("[cpCOM]\n"));

    // Keys match without regard to case and to doubled or trailing backslashes.
    auto loaded = MakePort();
    loaded->LoadSettings(stRegistry, QStringLiteral("HKEY_LOCAL_MACHINE\\\\SOFT"));
    EXPECT_EQ(loaded->Port(), QStringLiteral("m"));
}

TEST_F(RegistryStore, NoLocationTextWritesOutsideTheStore)
{
    auto port = MakePort();
    port->setObjectName(QStringLiteral("../../x]y=z;#\n\t %41"));
    port->SetPort(QStringLiteral(" a=b]\r\n%20 "));
    const QString odd[] = {
        QStringLiteral("HKEY_CURRENT_USER\\..\\..\\..\\etc\\passwd"),
        QStringLiteral("HKEY_CURRENT_USER\\/tmp/abs/file"),
        QStringLiteral("HKEY_CURRENT_USER\\[x]\\=;#"),
        QStringLiteral("HKEY_CURRENT_USER\\\\\\"),
    };
    for (const QString &location : odd) {
        port->StoreSettings(stRegistry, location);
        auto loaded = MakePort();
        loaded->setObjectName(port->objectName());
        loaded->LoadSettings(stRegistry, location);
        EXPECT_EQ(loaded->Port(), port->Port()) << location.toStdString();
    }
    EXPECT_EQ(AllFiles(), QStringList{QStringLiteral("home/tq-configurator/registry-user.ini")});

    // Without a backslash there is no key: storing fails, loading reads empty texts and
    // fails at the first integer.
    auto plain = MakePort();
    EXPECT_EQ(ExpectComError([&] { plain->StoreSettings(stRegistry, Path("file.ini")); }).Code(), 16);
    plain->LoadSettings(stRegistry, QStringLiteral("/tmp/abs"));
    EXPECT_EQ(plain->Port(), QString());
    plain->SetStoredProps({spTimeouts});
    EXPECT_EQ(ExpectComError([&] { plain->LoadSettings(stRegistry, QString()); }).Code(), 17);
    EXPECT_EQ(AllFiles(), QStringList{QStringLiteral("home/tq-configurator/registry-user.ini")});
}

TEST_F(RegistryStore, FailuresGoToTheExceptionHandlerWhenOneIsSet)
{
    QDir().mkpath(UserStore());
    auto port = MakePort();
    QList<TComExceptions> seen;
    port->OnException = [&](QObject *, TComExceptions e, const QString &, qint64, const QString &) {
        seen << e;
    };
    port->LoadSettings(stRegistry, UserKey);
    port->StoreSettings(stRegistry, UserKey);
    EXPECT_EQ(seen, (QList<TComExceptions>{CE_LoadFailed, CE_StoreFailed}));
}
} // namespace
