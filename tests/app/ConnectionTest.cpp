// Opening the sensor connection: its results, its messages and the state it leaves.
#include "SensorWindow.h"

#include <QTemporaryDir>
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

TEST(Connection, PortThatCannotBeOpenedShowsOnlyTheOpenMessage)
{
    SensorWindow s;
    TComPort holder; // another program holding the line
    holder.SetPort(s.sensor->Path());
    holder.Open();
    QTemporaryDir dir;
    const QString plainFile = dir.filePath(QStringLiteral("not-a-terminal"));
    QFile(plainFile).open(QIODevice::WriteOnly);

    for (const QString &port : {s.sensor->Path(), QStringLiteral("/dev/tq-no-such-port"), plainFile}) {
        SCOPED_TRACE(port.toStdString());
        s.boxes.Calls.clear();
        s.window.ccbPort->ComSelect().SetPortLister([&](QStringList &ports) { ports = {port}; });
        s.window.ccbPortDropDown();
        s.window.ccbPort->setCurrentIndex(0);
        s.window.ccbPort->Change();
        ASSERT_EQ(s.window.ccbPort->Text(), port);

        s.window.tbUpload->click();
        ASSERT_EQ(s.boxes.Calls.size(), 1u);
        EXPECT_EQ(s.boxes.Calls[0].Text, OpenFailedText);
        EXPECT_EQ(s.boxes.Calls[0].Caption, QStringLiteral("Ошибка"));
        EXPECT_EQ(s.boxes.Calls[0].Icon, QMessageBox::Critical);
        EXPECT_EQ(ConnectAndCheck(s), ConnectFailed);
    }
    EXPECT_TRUE(s.Requests().isEmpty());
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

    struct Case {
        TSensorOptions Options;
        QStringList Messages;
    };
    const Case cases[] = {{nakId, {Nak("ID"), UnsupportedText}},
                          {nakPing, {UnsupportedText}},
                          {other, {UnsupportedText}}};
    for (const Case &c : cases) {
        SensorWindow s(c.Options);
        EXPECT_EQ(ConnectAndCheck(s), ConnectUnsupported);
        EXPECT_EQ(Texts(s.boxes), c.Messages);
        EXPECT_EQ(s.Requests(), Handshake() + QList<QByteArray>{CommOff()});
    }
}

} // namespace
