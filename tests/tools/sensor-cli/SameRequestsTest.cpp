// The tool's read, write and calibrations send byte for byte what the window's do: both run
// against simulated sensors and are compared by what the sensors received.
#include "CliRun.h"

#include "app/MainWindow.h"
#include "app/SettingsFile.h"
#include "tools/SimulatedSensor.h"
#include "tools/sensor-cli/ExitCodes.h"

#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <gtest/gtest.h>

#include <functional>

namespace {

struct SameRequests : ::testing::Test {
    static void SetUpTestSuite() { QLocale::setDefault(QLocale::c()); }

    /// What a sensor received from the window after `prepare` and `click`.
    static QList<QByteArray> FromWindow(const std::function<void(TfrmMain &)> &prepare,
                                        const std::function<void(TfrmMain &)> &click)
    {
        TSimulatedSensor sensor;
        TfrmMain window(nullptr, {sensor.Path()});
        prepare(window);
        click(window);
        return sensor.Sensor().Requests();
    }

    /// What a sensor received from tq-sensor given `args` before and after the port.
    static QList<QByteArray> FromTool(const QStringList &before, const QStringList &after)
    {
        TSimulatedSensor sensor;
        const TCliRun run = RunCli(before + QStringList{sensor.Path()} + after);
        EXPECT_EQ(run.Code, ExitOk) << run.Err.toStdString();
        return sensor.Sensor().Requests();
    }
};

void Fill(TfrmMain &w)
{
    w.txtInertWork->setText(QStringLiteral("40"));
    w.txtInpFlt->setText(QStringLiteral("300"));
    w.txtHystWidth->setText(QStringLiteral("0.1"));
    w.txtInertCalib->setText(QStringLiteral("150"));
    w.txtCalTime->setText(QStringLiteral("250"));
}

TEST_F(SameRequests, Read)
{
    const QList<QByteArray> window = FromWindow([](TfrmMain &) {}, [](TfrmMain &w) { w.tbUploadClick(); });
    EXPECT_EQ(window.size(), 11);
    EXPECT_EQ(FromTool({QStringLiteral("read")}, {}), window);
}

TEST_F(SameRequests, WriteOfASettingsFile)
{
    // The window saves the file the tool then sends: both send the same five values.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("set.tqx"));
    const QList<QByteArray> window = FromWindow(
        [&](TfrmMain &w) {
            Fill(w);
            SaveSettingsFile(file, w.SettingsFields());
        },
        [](TfrmMain &w) { w.tbDownloadClick(); });
    EXPECT_EQ(window.size(), 10);
    EXPECT_EQ(FromTool({QStringLiteral("write")}, {file}), window);
}

TEST_F(SameRequests, WriteOfSetValues)
{
    const QList<QByteArray> window = FromWindow(Fill, [](TfrmMain &w) { w.tbDownloadClick(); });
    EXPECT_EQ(FromTool({QStringLiteral("write")},
                       {QStringLiteral("--set"), QStringLiteral("work_inertia=40"), QStringLiteral("--set"),
                        QStringLiteral("input_filter=300"), QStringLiteral("--set"), QStringLiteral("hysteresis=0.1"),
                        QStringLiteral("--set"), QStringLiteral("calib_inertia=150"), QStringLiteral("--set"),
                        QStringLiteral("averaging_time=250")}),
              window);
}

TEST_F(SameRequests, CalibrationOnAndOff)
{
    const QStringList params{QStringLiteral("--time"), QStringLiteral("250"), QStringLiteral("--inert"), QStringLiteral("150")};
    const QList<QByteArray> on = FromWindow(Fill, [](TfrmMain &w) { w.cmdCalOnClick(); });
    EXPECT_EQ(on.size(), 7);
    EXPECT_EQ(FromTool({QStringLiteral("calibrate"), QStringLiteral("on")}, params), on);
    const QList<QByteArray> off = FromWindow(Fill, [](TfrmMain &w) { w.cmdCalOffClick(); });
    EXPECT_EQ(FromTool({QStringLiteral("calibrate"), QStringLiteral("off")}, params), off);
}

} // namespace
