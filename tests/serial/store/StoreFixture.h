#pragma once
// A private configuration home for each test, so no test touches the real one.

#include "StorePort.h"
#include "tests/serial/FakeBackend.h"
#include "tests/serial/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline const QString UserKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\BrenholtGroup\\TQ_DEV\\ComPort");

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FOldHome = qgetenv("XDG_CONFIG_HOME");
        FOldDirs = qgetenv("XDG_CONFIG_DIRS");
        qputenv("XDG_CONFIG_HOME", Path("home").toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", Path("etc").toLocal8Bit());
    }
    void TearDown() override
    {
        qputenv("XDG_CONFIG_HOME", FOldHome);
        qputenv("XDG_CONFIG_DIRS", FOldDirs);
    }

    QString Path(const QString &Name) const { return FDir.filePath(Name); }
    QString UserStore() const { return Path("home/tq-configurator/registry-user.ini"); }
    QString MachineStore() const { return Path("etc/tq-configurator/registry-machine.ini"); }

    static QByteArray ReadFile(const QString &File)
    {
        QFile f(File);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void WriteFile(const QString &File, const QByteArray &Data)
    {
        QDir().mkpath(QFileInfo(File).absolutePath());
        QFile f(File);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(Data);
    }

    /// Every file below the temporary folder, relative to it.
    QStringList AllFiles() const
    {
        QStringList files;
        QDirIterator it(FDir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(FDir.path()).relativeFilePath(it.next());
        files.sort();
        return files;
    }

    QTemporaryDir FDir;
    QByteArray FOldHome, FOldDirs;
};

inline void ExpectSameSettings(const TCustomComPort &A, const TCustomComPort &B)
{
    EXPECT_EQ(A.Port(), B.Port());
    EXPECT_EQ(A.BaudRate(), B.BaudRate());
    EXPECT_EQ(A.CustomBaudRate(), B.CustomBaudRate());
    EXPECT_EQ(A.StopBits(), B.StopBits());
    EXPECT_EQ(A.DataBits(), B.DataBits());
    EXPECT_EQ(A.Parity().Bits(), B.Parity().Bits());
    EXPECT_EQ(A.EventChar(), B.EventChar());
    EXPECT_EQ(A.DiscardNull(), B.DiscardNull());
    EXPECT_EQ(A.Parity().Check(), B.Parity().Check());
    EXPECT_EQ(A.Parity().Replace(), B.Parity().Replace());
    EXPECT_EQ(A.Parity().ReplaceChar(), B.Parity().ReplaceChar());
    EXPECT_EQ(A.Buffer().OutputSize(), B.Buffer().OutputSize());
    EXPECT_EQ(A.Buffer().InputSize(), B.Buffer().InputSize());
    EXPECT_EQ(A.Timeouts().ReadInterval(), B.Timeouts().ReadInterval());
    EXPECT_EQ(A.Timeouts().ReadTotalConstant(), B.Timeouts().ReadTotalConstant());
    EXPECT_EQ(A.Timeouts().ReadTotalMultiplier(), B.Timeouts().ReadTotalMultiplier());
    EXPECT_EQ(A.Timeouts().WriteTotalConstant(), B.Timeouts().WriteTotalConstant());
    EXPECT_EQ(A.Timeouts().WriteTotalMultiplier(), B.Timeouts().WriteTotalMultiplier());
    const TComFlowControl &f = A.FlowControl(), &g = B.FlowControl();
    EXPECT_EQ(f.ControlRTS(), g.ControlRTS());
    EXPECT_EQ(f.ControlDTR(), g.ControlDTR());
    EXPECT_EQ(f.DSRSensitivity(), g.DSRSensitivity());
    EXPECT_EQ(f.OutCTSFlow(), g.OutCTSFlow());
    EXPECT_EQ(f.OutDSRFlow(), g.OutDSRFlow());
    EXPECT_EQ(f.TxContinueOnXoff(), g.TxContinueOnXoff());
    EXPECT_EQ(f.XonXoffIn(), g.XonXoffIn());
    EXPECT_EQ(f.XonXoffOut(), g.XonXoffOut());
    EXPECT_EQ(f.XoffChar(), g.XoffChar());
    EXPECT_EQ(f.XonChar(), g.XonChar());
}
