// The Win32 side of the serial component under Wine: the registry store, the port list,
// the system's error texts, and a whole exchange through COM1 when the harness serves it.

#include "serial/ComConvert.h"
#include "serial/ComError.h"
#include "serial/ComPort.h"
#include "serial/ComPortInfo.h"
#include "protocol/Frame.h"
#include "serial/ProgramEnd.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QFile>

#include <gtest/gtest.h>
#include <windows.h>
#undef SetPort // a printing macro of windows.h

namespace {

const QString StoreKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\BrenholtGroup\\TQ_DEV\\ComPort");
const wchar_t *const PortKey = L"Software\\BrenholtGroup\\TQ_DEV\\ComPort\\cpCOM";

QString RegText(const wchar_t *Name)
{
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, PortKey, Name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return QStringLiteral("<missing>");
    return QString::fromWCharArray(buffer);
}

TEST(WinStore, SettingsLiveUnderTheUserKeyAndComeBack)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, PortKey);
    TComPort stored;
    stored.setObjectName(QStringLiteral("cpCOM"));
    stored.SetPort(QStringLiteral("COM7"));
    stored.SetBaudRate(br19200);
    stored.SetStopBits(sbTwoStopBits);
    stored.StoreSettings(stRegistry, StoreKey);
    EXPECT_EQ(RegText(L"Port"), QStringLiteral("COM7"));
    EXPECT_EQ(RegText(L"BaudRate"), BaudRateToStr(br19200));
    EXPECT_EQ(RegText(L"StopBits"), StopBitsToStr(sbTwoStopBits));

    TComPort loaded;
    loaded.setObjectName(QStringLiteral("cpCOM"));
    loaded.LoadSettings(stRegistry, StoreKey);
    EXPECT_EQ(loaded.Port(), QStringLiteral("COM7"));
    EXPECT_EQ(loaded.BaudRate(), br19200);
    EXPECT_EQ(loaded.StopBits(), sbTwoStopBits);

    // A value of the wrong type is refused as a whole, and the port keeps what it had.
    const DWORD number = 7;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, PortKey, L"Port", REG_DWORD, &number, sizeof number), ERROR_SUCCESS);
    try {
        loaded.LoadSettings(stRegistry, StoreKey);
        ADD_FAILURE() << "a numeric port name was taken";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.Code(), CE_LoadFailed + 1);
    }
    EXPECT_EQ(loaded.Port(), QStringLiteral("COM7"));
    RegDeleteTreeW(HKEY_CURRENT_USER, PortKey);

    // The ini form is the one of every platform.
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("port.ini"));
    stored.StoreSettings(stIniFile, ini);
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("[cpCOM]"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("Port=COM7"))) << qPrintable(text);
}

TEST(WinPorts, ListedFromTheSystemAndOpenedByDeviceName)
{
    EXPECT_EQ(ComDevicePath(QStringLiteral("COM3")), QStringLiteral("\\\\.\\COM3"));
    QStringList names;
    EnumComPorts(names);
    EXPECT_TRUE(names.contains(QStringLiteral("COM1"))) << qPrintable(names.join(' '));
    for (const TComPortInfo &p : ComPortInfos())
        EXPECT_EQ(p.DevicePath, ComDevicePath(p.Name));

    TComPort port;
    port.SetPort(QStringLiteral("COM87"));
    try {
        port.Open();
        ADD_FAILURE() << "COM87 opened";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.Code(), CE_OpenFailed + 1);
        EXPECT_EQ(e.WinCode(), ERROR_FILE_NOT_FOUND);
        EXPECT_STREQ(e.what(), "Unable to open com port (Error: 2)");
    }
    QString message;
    port.OnException = [&](QObject *, TComExceptions, const QString &, qint64, const QString &WinMessage) {
        message = WinMessage;
    };
    port.Open();
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(message.startsWith(QStringLiteral("System Error.  Code: 2.\r\n"))) << qPrintable(message);
    EXPECT_GT(message.size(), 26) << "no text from the system";
    EXPECT_FALSE(message.contains(QStringLiteral("Unknown error")));
}

// COM1 is a pseudo-terminal served by the Linux simulated sensor (see wine-e2e.sh).
TEST(WinLine, EventThreadHearsTheReplyAndReadGetsIt)
{
    if (qEnvironmentVariableIsEmpty("TQ_WINE_LINE"))
        GTEST_SKIP() << "COM1 is not served";
    TComPort port;
    port.SetPort(QStringLiteral("COM1"));
    int heard = 0;
    port.OnRxChar = [&](QObject *, int Count) { heard += Count; };
    bool txEmpty = false;
    port.OnTxEmpty = [&](QObject *) { txEmpty = true; };
    port.Open();
    ASSERT_TRUE(port.Connected());
    const QByteArray ping = BuildRequest(TCommand::PING, {});
    ASSERT_EQ(port.Write(ping.constData(), int(ping.size())), int(ping.size()));
    QByteArray reply;
    QElapsedTimer clock;
    clock.start();
    // Nothing reads before the event thread has told of the input.
    while (clock.elapsed() < 5000 && (heard < 4 || !txEmpty))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    char buffer[64];
    reply.append(buffer, port.Read(buffer, sizeof buffer));
    EXPECT_GT(heard, 0) << "the event thread reported no input";
    EXPECT_TRUE(txEmpty) << "the event thread reported no end of output";
    EXPECT_FALSE(reply.isEmpty()) << "no reply to PING";
    EXPECT_EQ(reply.toHex(), QByteArray("06040017")); // the sensor's answer to PING

    // A read with a time-out waits for it on a silent line, no longer.
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalC(300);
    clock.restart();
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    EXPECT_GE(clock.elapsed(), 280);
    EXPECT_LT(clock.elapsed(), 2000);
    port.Close();
    EXPECT_FALSE(port.Connected());
}

int Run(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace

int main(int argc, char **argv)
{
    return EndProgram(Run(argc, argv));
}
