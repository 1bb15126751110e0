// Setting texts and the port list.

#include "serial/ComConvert.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ComConvert, EveryValueRoundTrips)
{
    for (int v = brCustom; v <= br256000; ++v)
        EXPECT_EQ(StrToBaudRate(BaudRateToStr(TBaudRate(v))), TBaudRate(v));
    for (int v = sbOneStopBit; v <= sbTwoStopBits; ++v)
        EXPECT_EQ(StrToStopBits(StopBitsToStr(TStopBits(v))), TStopBits(v));
    for (int v = dbFive; v <= dbEight; ++v)
        EXPECT_EQ(StrToDataBits(DataBitsToStr(TDataBits(v))), TDataBits(v));
    for (int v = prNone; v <= prSpace; ++v)
        EXPECT_EQ(StrToParity(ParityToStr(TParityBits(v))), TParityBits(v));
    for (int v = fcHardware; v <= fcCustom; ++v)
        EXPECT_EQ(StrToFlowControl(FlowControlToStr(TFlowControl(v))), TFlowControl(v));
    EXPECT_EQ(BaudRateToStr(br14400), "14400");
    EXPECT_EQ(StopBitsToStr(sbOne5StopBits), "1.5");
}

TEST(ComConvert, CaseAndFallbacks)
{
    EXPECT_EQ(StrToBaudRate("custom"), brCustom);
    EXPECT_EQ(StrToBaudRate("CUSTOM"), brCustom);
    EXPECT_EQ(StrToBaudRate(" 115200"), br9600);
    EXPECT_EQ(StrToBaudRate("9601"), br9600);
    EXPECT_EQ(StrToBaudRate(""), br9600);
    EXPECT_EQ(StrToStopBits("1,5"), sbOneStopBit);
    EXPECT_EQ(StrToDataBits("9"), dbEight);
    EXPECT_EQ(StrToParity("none"), prNone);
    EXPECT_EQ(StrToParity("mark"), prMark);
    EXPECT_EQ(StrToFlowControl("none"), fcNone);
    EXPECT_EQ(StrToFlowControl(""), fcCustom);
}

namespace {
void MakeTty(const QString &Root, const QString &Name, bool Device, const QByteArray &Type = {},
             const QByteArray &DevName = {})
{
    const QString dir = Root + "/sys/class/tty/" + Name;
    ASSERT_TRUE(QDir().mkpath(dir));
    if (Device) {
        ASSERT_TRUE(QDir().mkpath(Root + "/sys/devices/" + Name));
        ASSERT_TRUE(QFile::link(Root + "/sys/devices/" + Name, dir + "/device"));
    }
    if (!Type.isEmpty()) {
        QFile f(dir + "/type");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Type + "\n");
    }
    if (!DevName.isEmpty()) {
        QFile f(dir + "/uevent");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("MAJOR=188\nDEVNAME=" + DevName + "\n");
    }
}
} // namespace

TEST(ComEnum, ListsSerialDevicesFromSysfs)
{
    QTemporaryDir root;
    const QString r = root.path();
    MakeTty(r, "tty0", false);                       // virtual console
    MakeTty(r, "ttyS0", true, "0");                  // legacy slot without a UART
    MakeTty(r, "ttyS1", true, "4");
    MakeTty(r, "ttyUSB10", true, {}, "ttyUSB10");
    MakeTty(r, "ttyUSB2", true);
    MakeTty(r, "ttyacm0", true);
    MakeTty(r, "rfcomm0", true, {}, "rfcomm0");
    QStringList ports{"stale"};
    EnumComPorts(ports, r);
    EXPECT_EQ(ports, QStringList({"rfcomm0", "ttyacm0", "ttyS1", "ttyUSB10", "ttyUSB2"}));
}

TEST(ComEnum, MissingClassLeavesTheListAndAnEmptyOneReplacesIt)
{
    QTemporaryDir root;
    QStringList ports{"keep"};
    EnumComPorts(ports, root.path());
    EXPECT_EQ(ports, QStringList{"keep"});
    QDir().mkpath(root.path() + "/sys/class/tty");
    EnumComPorts(ports, root.path());
    EXPECT_TRUE(ports.isEmpty());
}
