// Opening the sensor connection: its results, its messages and the state it leaves.
#include "SensorWindow.h"

#include "tests/serial/FakeBackend.h"

#include <QTemporaryDir>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <gtest/gtest.h>

namespace {

/// Connects once and checks that a failed connection leaves the window idle.
int ConnectAndCheck(SensorWindow &s)
{
    const int result = s.window.ConnectDevice();
    if (result != ConnectOk) {
        EXPECT_TRUE(s.Idle());
    }
    return result;
}

TEST(Connection, SupportedSensorWithAnyFirmwareConnectsAndStaysLocked)
{
    TSensorOptions options;
    options.Firmware = 0xBEEF;
    SensorWindow s(options);
    s.window.cpCOM->SetBaudRate(br115200); // stored settings never change the sensor's rate

    EXPECT_EQ(ConnectAndCheck(s), ConnectOk);
    EXPECT_TRUE(s.window.cpCOM->Connected());
    EXPECT_EQ(s.window.cpCOM->BaudRate(), br9600);
    EXPECT_EQ(s.window.cpCOM->Port(), s.sensor->Path());
    EXPECT_FALSE(s.window.tbUpload->isEnabled());
    EXPECT_FALSE(s.window.gbCal->isEnabled());
    EXPECT_TRUE(WaitCursorShown());
    EXPECT_TRUE(s.sensor->Sensor().CommMode());
    EXPECT_EQ(s.Requests(), Handshake());

    s.window.DisconnectDevice();
    EXPECT_TRUE(s.Idle());
    EXPECT_FALSE(s.sensor->Sensor().CommMode());
    s.window.DisconnectDevice(); // twice is harmless
    EXPECT_EQ(s.Requests(), Handshake() + QList<QByteArray>{CommOff()});
    EXPECT_TRUE(s.boxes.Calls.empty());
}

/// Picks Port in the window's combo as a user would.
void ChoosePort(SensorWindow &s, const QString &Port)
{
    s.window.ccbPort->ComSelect().SetPortLister([Port](QStringList &ports) { ports = {Port}; });
    s.window.ccbPortDropDown();
    s.window.ccbPort->setCurrentIndex(0);
    s.window.ccbPort->Change();
    ASSERT_EQ(s.window.ccbPort->Text(), Port);
}

/// Clicks a workflow and expects only the open box, with the reason below its text.
void ExpectOpenBox(SensorWindow &s, const QString &Reason)
{
    s.boxes.Calls.clear();
    s.window.tbUpload->click();
    ASSERT_EQ(s.boxes.Calls.size(), 1u);
    EXPECT_EQ(s.boxes.Calls[0].Text, OpenFailedText);
    EXPECT_EQ(s.boxes.Calls[0].Caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(s.boxes.Calls[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(s.boxes.Calls[0].Details, Reason);
    EXPECT_EQ(ConnectAndCheck(s), ConnectFailed);
}

TEST(Connection, PortThatCannotBeOpenedShowsTheOpenMessageAndWhy)
{
    SensorWindow s;
    TComPort holder; // another program holding the line
    holder.SetPort(s.sensor->Path());
    holder.Open();
    QTemporaryDir dir;
    const QString plainFile = dir.filePath(QStringLiteral("not-a-terminal"));
    QFile(plainFile).open(QIODevice::WriteOnly);
    QFile comm(QStringLiteral("/proc/self/comm"));
    ASSERT_TRUE(comm.open(QIODevice::ReadOnly));
    // This very process holds the line here; it is named like any other program.
    const QString self = QStringLiteral("%1 (pid %2)").arg(QString::fromLocal8Bit(comm.readAll().trimmed()))
                             .arg(QCoreApplication::applicationPid());

    const std::pair<QString, QString> cases[] = {
        {s.sensor->Path(), QStringLiteral("Порт %1 занят другой программой: %2. Закройте её и попробуйте снова.")
                               .arg(s.sensor->Path(), self)},
        {QStringLiteral("/dev/tq-no-such-port"),
         QStringLiteral("Устройства /dev/tq-no-such-port больше нет в системе (адаптер отключён?). Подключите его "
                        "снова или выберите другой порт.")},
        {plainFile, plainFile + QStringLiteral(" — не терминал, это не последовательный порт. Выберите другой порт.")},
    };
    for (const auto &[port, reason] : cases) {
        SCOPED_TRACE(port.toStdString());
        ChoosePort(s, port);
        ExpectOpenBox(s, reason);
    }
    EXPECT_TRUE(s.Requests().isEmpty());
}

TEST(Connection, NoPermissionNamesTheGroupToJoin)
{
    struct Refusing : FakeBackend {
        int Open(const QByteArray &, int &Handle) override { Handle = -1; return EACCES; }
    };
    const group *dialout = getgrnam("dialout");
    if (!dialout)
        GTEST_SKIP() << "no dialout group on this machine";
    const passwd *me = getpwuid(geteuid());
    for (char **member = dialout->gr_mem; me && *member; ++member)
        if (qstrcmp(*member, me->pw_name) == 0)
            GTEST_SKIP() << "this user is in dialout already; the advice differs";
    SensorWindow s;
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("ttyUSB7"));
    QFile(device).open(QIODevice::WriteOnly);
    ASSERT_EQ(chown(QFile::encodeName(device).constData(), geteuid(), dialout->gr_gid), 0);
    ASSERT_TRUE(s.window.cpCOM->SetBackend(std::make_shared<Refusing>()));
    ChoosePort(s, device);
    ExpectOpenBox(s, QStringLiteral("Нет прав на доступ к %1. Устройство принадлежит группе «dialout». Добавьте себя в "
                                    "неё командой «sudo usermod -aG dialout $USER», затем выйдите из системы и войдите "
                                    "снова: новая группа действует только после нового входа.")
                         .arg(device));
}

TEST(Connection, SilentSensorFailsAtPing)
{
    TSensorOptions options;
    options.SilentAfter = 0;
    SensorWindow s(options);
    s.window.tmrTimeout->SetInterval(100);

    EXPECT_EQ(ConnectAndCheck(s), ConnectFailed);
    EXPECT_EQ(Texts(s.boxes), QStringList{QStringLiteral("Ошибка при команде PING.")});
    EXPECT_EQ(s.boxes.Calls[0].Caption, QStringLiteral("Error"));
    EXPECT_EQ(s.Requests(), (QList<QByteArray>{CommOn(), Req(TCommand::PING), CommOff()}));
    EXPECT_EQ(s.window.tmrTimeout->Interval(), 100);
}

TEST(Connection, NakToIdOrAnotherTypeIsRefusedAsUnsupported)
{
    TSensorOptions nakId;
    nakId.NakCommand = int(TCommand::ID);
    TSensorOptions nakPing;
    nakPing.NakCommand = int(TCommand::PING); // a NAK still shows that a sensor is there
    nakPing.DeviceType = 0x5452;
    TSensorOptions other;
    other.DeviceType = 0x1451;
    // The late COMM_MODE answer is taken for PING; PING's NAK then comes late and is no ID's.
    TSensorOptions nakPingLate = nakPing;
    nakPingLate.SlowCommand = int(TCommand::COMM_MODE);
    nakPingLate.SlowCommandMs = 300;
    nakPingLate.ProcessingDelayMs = 60;

    struct Case {
        TSensorOptions Options;
        QStringList Messages;
    };
    const Case cases[] = {{nakId, {Nak("ID"), UnsupportedText}},
                          {nakPing, {UnsupportedText}},
                          {other, {UnsupportedText}},
                          {nakPingLate, {UnsupportedText}}};
    for (const Case &c : cases) {
        SensorWindow s(c.Options);
        EXPECT_EQ(ConnectAndCheck(s), ConnectUnsupported);
        EXPECT_EQ(Texts(s.boxes), c.Messages);
        EXPECT_EQ(s.Requests(), Handshake() + QList<QByteArray>{CommOff()});
    }
}

} // namespace
