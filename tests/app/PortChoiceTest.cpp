// The port choice across runs: what the window loads, selects and stores.
#include "SensorWindow.h"

#include "serial/store/ComRegistry.h"
#include "tests/serial/store/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/resource.h>

namespace {

const QStringList ports = {QStringLiteral("/tmp/tq-port-a"), QStringLiteral("/tmp/tq-port-b")};

struct PortChoice : ::testing::Test {
    void SetUp() override { RemoveStore(); }
    void TearDown() override { RemoveStore(); }

    static QString StoreFile() { return TComRegistry::StoreFile(rrCurrentUser); }
    static QByteArray ReadStore(const QString &file = StoreFile())
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    static void WriteStore(const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(StoreFile()).path());
        QFile f(StoreFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static void RemoveStore()
    {
        QFile::remove(StoreFile() + QStringLiteral(".corrupt"));
        QFileInfo info(StoreFile());
        if (info.isDir())
            QDir(StoreFile()).removeRecursively();
        else
            QFile::remove(StoreFile());
    }
    /// The port name as the store holds it.
    static QString StoredPort()
    {
        TComPort port;
        port.setObjectName(QStringLiteral("cpCOM"));
        port.LoadSettings(stRegistry, PortSettingsKey);
        return port.Port();
    }
    static void Store(const QString &name)
    {
        TComPort port;
        port.setObjectName(QStringLiteral("cpCOM"));
        port.SetPort(name);
        port.StoreSettings(stRegistry, PortSettingsKey);
    }
    /// Lists `names` in the combo, selects the first, then runs the create handler again.
    static void Recreate(TfrmMain &w, const QStringList &names)
    {
        w.ccbPort->ComSelect().SetPortLister([names](QStringList &list) { list = names; });
        w.ccbPort->SetComProperty(cpPort);
        w.ccbPort->setCurrentIndex(0);
        w.FormCreate();
    }
    void ExpectCloseFailsAndKeepsTheStore(const QByteArray &before);
    TMessageRecorder boxes;
};

TEST_F(PortChoice, FirstStartCreatesTheStoreAndNamesThePortAfterTheCombo)
{
    TfrmMain w;
    EXPECT_TRUE(QFile::exists(StoreFile()));
    EXPECT_EQ(w.cpCOM->Port(), w.ccbPort->Text());
    EXPECT_EQ(w.cpCOM->objectName(), QStringLiteral("cpCOM"));
    EXPECT_FALSE(w.tmrTimeout->Enabled());
    EXPECT_EQ(w.tmrTimeout->Interval(), 1000);
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(PortChoice, StoredNameIsSelectedOnlyWhenItMatchesExactly)
{
    TfrmMain w;
    Store(ports[1]);
    Recreate(w, ports);
    EXPECT_EQ(w.ccbPort->Text(), ports[1]);
    EXPECT_EQ(w.cpCOM->Port(), ports[1]);

    for (const QString &stored : {ports[1].toUpper(), QStringLiteral("ttyUSB7")}) {
        Store(stored);
        Recreate(w, ports);
        EXPECT_EQ(w.ccbPort->Text(), ports[0]);
        EXPECT_EQ(w.cpCOM->Port(), ports[0]);
    }
}

TEST_F(PortChoice, CommandLinePortsAreListedAndTheFirstWinsOverTheStoredChoice)
{
    Store(ports[1]);
    TfrmMain w(nullptr, ports);
    const int count = w.ccbPort->count();
    ASSERT_GE(count, 2);
    EXPECT_EQ(w.ccbPort->itemText(count - 2), ports[0]);
    EXPECT_EQ(w.ccbPort->itemText(count - 1), ports[1]);
    EXPECT_EQ(w.ccbPort->Text(), ports[0]);
    EXPECT_EQ(w.cpCOM->Port(), ports[0]);

    // Opening the list enumerates anew and keeps the choice; it is still offered.
    w.ccbPort->setCurrentIndex(count - 1);
    w.ccbPort->showPopup();
    w.ccbPort->hidePopup();
    EXPECT_EQ(w.ccbPort->count(), count);
    EXPECT_EQ(w.ccbPort->Text(), ports[1]);
}

TEST_F(PortChoice, NetworkNameFromTheCommandLineIsKeptAsItStands)
{
    const QString net = QStringLiteral("rfc2217://[::1]:4001");
    {
        TfrmMain w(nullptr, {net});
        EXPECT_EQ(w.ccbPort->Text(), net);
        EXPECT_EQ(w.cpCOM->Port(), net);
        w.FormClose(&w);
    }
    EXPECT_EQ(StoredPort(), net);
    TfrmMain again(nullptr, {QStringLiteral("tcp://127.0.0.1:1"), net});
    again.FormCreate(); // the stored choice is offered: selected
    EXPECT_EQ(again.ccbPort->Text(), net);
}

TEST_F(PortChoice, OpeningTheListShowsPortsThatAppearedAndKeepsTheChoice)
{
    TfrmMain w;
    QStringList machine = {QStringLiteral("ttyS0"), QStringLiteral("ttyS1")};
    w.ccbPort->ComSelect().SetPortLister([&](QStringList &list) { list = machine; });
    w.ccbPort->SetComProperty(cpPort);
    w.ccbPort->setCurrentIndex(1);
    w.ccbPort->Change();
    ASSERT_EQ(w.cpCOM->Port(), QStringLiteral("ttyS1"));

    machine.prepend(QStringLiteral("ttyACM0")); // plugged in meanwhile
    w.ccbPort->showPopup();
    w.ccbPort->hidePopup();
    EXPECT_EQ(w.ccbPort->count(), 3);
    EXPECT_EQ(w.ccbPort->Text(), QStringLiteral("ttyS1"));
    EXPECT_EQ(w.cpCOM->Port(), QStringLiteral("ttyS1"));
}

TEST_F(PortChoice, ChoiceSurvivesCloseAndRestart)
{
    {
        TfrmMain w(nullptr, ports);
        w.show();
        w.ccbPort->setCurrentIndex(w.ccbPort->findText(ports[1]));
        w.ccbPort->Change(); // the user's pick
        EXPECT_TRUE(w.close());
    }
    EXPECT_EQ(StoredPort(), ports[1]);
    TfrmMain again;
    Recreate(again, ports);
    EXPECT_EQ(again.ccbPort->Text(), ports[1]);
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(PortChoice, UnreadableOrUnwritableStoreIsReportedAndTheWindowStillWorks)
{
    QDir().mkpath(StoreFile()); // a folder where the file should be: neither readable nor writable
    TfrmMain w(nullptr, ports);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_FALSE(boxes.Calls[0].Text.isEmpty());
    EXPECT_EQ(w.ccbPort->Text(), ports[0]); // the command line still picks the port
    EXPECT_EQ(w.cpCOM->Port(), ports[0]);

    w.show();
    EXPECT_TRUE(w.close()); // the store fails again, and the window closes all the same
    EXPECT_EQ(boxes.Calls.size(), 2u);
}

TEST_F(PortChoice, ACorruptStoreIsReportedOnceAndTheCloseWritesAFreshOne)
{
    // One Latin-1 byte in a comment: the store cannot be read, nor rewritten whole.
    const QByteArray corrupt = "; caf\xE9\n[Software\\BrenholtGroup\\TQ_DEV\\ComPort\\cpCOM]\nPort=sz:x\n";
    WriteStore(corrupt);
    {
        TfrmMain w(nullptr, ports);
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_TRUE(boxes.Calls[0].Text.contains(QStringLiteral("Failed to load settings")))
            << boxes.Calls[0].Text.toStdString();
        w.show();
        w.ccbPort->setCurrentIndex(w.ccbPort->findText(ports[1]));
        w.ccbPort->Change();
        EXPECT_TRUE(w.close());
    }
    EXPECT_EQ(boxes.Calls.size(), 1u); // no error 16 at the close
    EXPECT_EQ(ReadStore(StoreFile() + QStringLiteral(".corrupt")), corrupt);
    EXPECT_EQ(StoredPort(), ports[1]);
    TfrmMain again;
    EXPECT_EQ(boxes.Calls.size(), 1u); // and none at the next start
}

/// Closes a window whose port choice changed while the store cannot be written: error 16 is
/// shown, the window closes, and the store is as it was.
void PortChoice::ExpectCloseFailsAndKeepsTheStore(const QByteArray &before)
{
    {
        TfrmMain w(nullptr, ports);
        w.show();
        EXPECT_TRUE(w.close());
    }
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_TRUE(boxes.Calls[0].Text.contains(QStringLiteral("Failed to store settings")))
        << boxes.Calls[0].Text.toStdString();
    EXPECT_EQ(ReadStore(PortChoice::StoreFile()), before);
    EXPECT_EQ(QDir(QFileInfo(PortChoice::StoreFile()).path()).entryList(QDir::Files),
              QStringList{QStringLiteral("registry-user.ini")});
}

TEST_F(PortChoice, AFullDiskAtCloseIsReportedAndKeepsTheStore)
{
    TSmallDisk disk(QFileInfo(StoreFile()).path());
    SKIP_WITHOUT_SMALL_DISK(disk);
    Store(QStringLiteral("ttyS9"));
    const QByteArray before = ReadStore();
    ASSERT_TRUE(disk.Fill());
    ExpectCloseFailsAndKeepsTheStore(before);
    RemoveStore();
}

TEST_F(PortChoice, AFileSizeLimitAtCloseIsReportedAndTheProgramLivesOn)
{
    Store(QStringLiteral("ttyS9") + QString(300, QLatin1Char('x')));
    const QByteArray before = ReadStore();
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit tiny = saved;
    tiny.rlim_cur = 40;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    ExpectCloseFailsAndKeepsTheStore(before);
    setrlimit(RLIMIT_FSIZE, &saved);
}

} // namespace
