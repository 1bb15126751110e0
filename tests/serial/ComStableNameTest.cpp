// A port named by a udev link (/dev/serial/by-id/…) is the device the link leads to, today
// and after the adapter has come back under another tty name.

#include "PtyPair.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

TEST(ComStableName, LinkFollowsTheAdapterAndSharesItsExclusivity)
{
    PtyPair first, second;
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0"));
    ASSERT_TRUE(QFile::link(first.Slave(), link));

    TComPort port;
    port.SetPort(link);
    port.Open();
    port.Write("a", 1);
    EXPECT_EQ(first.Receive(), "a");
    TComPort byName; // the same device under its tty name is taken
    byName.SetPort(first.Slave());
    EXPECT_EQ(ExpectComError([&] { byName.Open(); }).WinCode(), EBUSY);
    port.Close();

    // Unplugged and plugged into another socket: udev points the same link at the new tty.
    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QFile::link(second.Slave(), link));
    port.Open();
    port.Write("b", 1);
    EXPECT_EQ(second.Receive(), "b");
    EXPECT_EQ(first.Receive(50), "");
}
