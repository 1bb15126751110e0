// The configurator's window as a Windows program: COM1 chosen from its port list and read
// from the simulated sensor behind it, the About box's version from the version resource, and
// the toolbar's icons, which must show without an SVG image plugin.

#include "tests/app/SensorFrames.h"
#include "tests/app/TestSupport.h"

#include "app/AboutBox.h"
#include "app/Application.h"
#include "app/MainWindow.h"
#include "protocol/FieldText.h"
#include "serial/ComPort.h"
#include "serial/ProgramEnd.h"
#include "tools/SensorModel.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>

void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

/// The request frames the simulated sensor has written to its log so far.
QList<QByteArray> LoggedRequests(const QString &path)
{
    QList<QByteArray> frames;
    QFile log(path);
    if (log.open(QIODevice::ReadOnly))
        for (const QByteArray &line : log.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                frames << QByteArray::fromHex(line);
    return frames;
}

/// True when some pixel of the image is not fully transparent.
bool HasInk(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(argb.pixel(x, y)) != 0)
                return true;
    return false;
}

// COM1 is a pseudo-terminal served by the Linux simulated sensor, which logs every request
// it receives to the file named here (see wine-e2e.sh).
TEST(WinWindow, ReadThroughCom1FillsEveryFieldWithTheSensorsValues)
{
    const QString requests = qEnvironmentVariable("TQ_WINE_REQUESTS");
    if (requests.isEmpty())
        GTEST_SKIP() << "COM1 is not served";
    TLocaleGuard locale(QLocale::c());
    TMessageRecorder boxes;
    TfrmMain w;
    w.show();
    QCoreApplication::processEvents();

    // As a user picks it: the list is made anew when it opens.
    w.ccbPort->showPopup();
    const int com1 = w.ccbPort->findText(QStringLiteral("COM1"));
    w.ccbPort->hidePopup();
    ASSERT_GE(com1, 0) << "not listed";
    w.ccbPort->setCurrentIndex(com1);
    const QList<QLineEdit *> fields = {w.txtInertWork, w.txtInpFlt, w.txtHystWidth, w.txtInertCalib,
                                       w.txtCalTime, w.txtCalOn, w.txtCalOff};
    for (QLineEdit *field : fields)
        field->setText(QStringLiteral("7"));

    QElapsedTimer clock;
    clock.start();
    w.tbUpload->click();
    std::printf("window read through COM1: %lld ms\n", static_cast<long long>(clock.elapsed()));

    EXPECT_TRUE(boxes.Calls.empty()) << boxes.Calls.front().Text.toStdString();
    const TSensorModel sensor{TSensorOptions{}}; // the simulator's factory state
    const TSensorParams &p = sensor.Params();
    EXPECT_EQ(w.txtInertWork->text(), FormatU16(p.InertWork));
    EXPECT_EQ(w.txtInpFlt->text(), FormatU16(p.InpFlt));
    EXPECT_EQ(w.txtHystWidth->text(), FormatReal(p.HystWidth));
    EXPECT_EQ(w.txtInertCalib->text(), FormatU16(p.InertCalib));
    EXPECT_EQ(w.txtCalTime->text(), FormatU16(p.CalTime));
    EXPECT_EQ(w.txtCalOn->text(), FormatU16(sensor.CalOn()));
    EXPECT_EQ(w.txtCalOff->text(), FormatU16(sensor.CalOff()));
    EXPECT_FALSE(w.cpCOM->Connected());
    EXPECT_TRUE(w.tbUpload->isEnabled());

    // The farewell is not waited for: the sensor may log it a moment after the window is done.
    const QList<QByteArray> expected = ReadWorkflowRequests();
    QDeadlineTimer patience(3000);
    while (LoggedRequests(requests).size() < expected.size() && !patience.hasExpired())
        QThread::msleep(20);
    EXPECT_EQ(LoggedRequests(requests), expected);
}

// This program carries the configurator's version resource; the About box must show the
// project's version read from it, and from the configurator's own file.
TEST(WinWindow, AboutBoxShowsTheVersionOfTheProgramFile)
{
    TfrmMain w;
    TMessageRecorder boxes;
    w.tbAbout->click();
    QString configurator = QStringLiteral(TQ_CONFIGURATOR_PATH);
    if (configurator.startsWith(u'/'))
        configurator.prepend(QStringLiteral("Z:")); // the Linux root under Wine
    ShowAboutBox(configurator);
    ASSERT_EQ(boxes.Calls.size(), 2u);
    for (const TMessageBoxCall &call : boxes.Calls)
        EXPECT_EQ(call.Text, AboutText(QStringLiteral(TQ_FILE_VERSION)));
}

TEST(WinWindow, ToolbarAndBannerShowTheirPictures)
{
    TfrmMain w;
    const std::pair<QToolButton *, const char *> buttons[] = {
        {w.ToolButton1, "open"}, {w.tbSave, "save"}, {w.tbUpload, "read"}, {w.tbDownload, "write"}, {w.tbAbout, "about"}};
    for (const auto &[button, name] : buttons) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(button->icon().isNull());
        const QPixmap pixmap = button->icon().pixmap(button->iconSize());
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_TRUE(HasInk(pixmap.toImage()));
    }
    EXPECT_TRUE(HasInk(w.Image1->pixmap().toImage()));
}

int Run(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    InstallExceptionDisplay();
    return RUN_ALL_TESTS();
}

} // namespace

int main(int argc, char **argv)
{
    return EndProgram(Run(argc, argv));
}
