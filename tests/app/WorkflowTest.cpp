// The four workflows through the real window against the simulated sensor on a pty.
#include "SensorWindow.h"

#include "protocol/FieldText.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QThread>
#include <QWindow>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct Workflow : ::testing::Test {
    static void SetUpTestSuite() { QLocale::setDefault(QLocale::c()); }
};

TEST_F(Workflow, ReadFillsAllSevenFieldsAndLocksTheWindowOnlyWhileConnected)
{
    TSensorOptions options;
    options.Pace = true; // long enough a workflow to look at the window during it
    SensorWindow s(options);
    TfrmMain &w = s.window;
    for (QLineEdit *field : {w.txtInertWork, w.txtInpFlt, w.txtHystWidth, w.txtInertCalib, w.txtCalTime})
        field->setText(QStringLiteral("7"));

    int busySamples = 0;
    int wrongSamples = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (!w.cpCOM->Connected())
            return;
        ++busySamples;
        const bool locked = !w.tbUpload->isEnabled() && !w.tbDownload->isEnabled() && !w.gbWork->isEnabled()
            && !w.gbCal->isEnabled() && !w.txtInertWork->isEnabled() && !w.cmdCalOff->isEnabled();
        const bool stillUsable = w.tbSave->isEnabled() && w.ToolButton1->isEnabled() && w.tbAbout->isEnabled()
            && w.ccbPort->isEnabled();
        if (!locked || !stillUsable || !WaitCursorShown())
            ++wrongSamples;
    });
    sampler.start(3);
    w.tbUpload->click();
    sampler.stop();

    EXPECT_TRUE(s.boxes.Calls.empty()) << Texts(s.boxes).join('\n').toStdString();
    EXPECT_EQ(s.Requests(), ReadWorkflowRequests());
    const TSensorParams p = s.sensor->Sensor().Params();
    EXPECT_EQ(w.txtInertWork->text(), FormatU16(p.InertWork));
    EXPECT_EQ(w.txtInertCalib->text(), FormatU16(p.InertCalib));
    EXPECT_EQ(w.txtCalTime->text(), FormatU16(p.CalTime));
    EXPECT_EQ(w.txtInpFlt->text(), FormatU16(p.InpFlt));
    EXPECT_EQ(w.txtHystWidth->text(), QStringLiteral("5"));
    EXPECT_EQ(w.txtCalOn->text(), QStringLiteral("3124"));
    EXPECT_EQ(w.txtCalOff->text(), QStringLiteral("1187"));
    EXPECT_GT(busySamples, 0);
    EXPECT_EQ(wrongSamples, 0);
    EXPECT_TRUE(s.Idle());
    EXPECT_FALSE(s.sensor->Sensor().CommMode());
}

// The user sees the values and the unlocked window as soon as the workflow ends, and the
// end paints what changed, not the whole window once more.
TEST_F(Workflow, ReadEndsWithItsValuesOnScreenPaintingOnlyWhatChanged)
{
    SensorWindow s;
    TfrmMain &w = s.window;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QCoreApplication::processEvents();
    auto screenshot = [&] { return QGuiApplication::primaryScreen()->grabWindow(w.windowHandle()->winId()).toImage(); };
    struct TPaintCounter : QObject {
        int Paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            Paints += event->type() == QEvent::Paint;
            return false;
        }
    } unchanged;
    w.Image1->installEventFilter(&unchanged);

    w.tbUpload->click();
    const QImage atEnd = screenshot(); // no event loop pass since the click
    EXPECT_EQ(unchanged.Paints, 0);
    w.repaint();
    EXPECT_EQ(atEnd, screenshot());
    EXPECT_EQ(w.txtCalOff->text(), QStringLiteral("1187"));
}

TEST_F(Workflow, WriteSendsTheFiveParametersShowsTheSensorsValuesAndSaves)
{
    TSensorOptions options;
    options.Clamp = true; // the sensor holds times to at least 5 ms
    SensorWindow s(options);
    TfrmMain &w = s.window;
    w.txtInertWork->setText(QStringLiteral("300"));
    w.txtInertCalib->setText(QStringLiteral("2"));
    w.txtCalTime->setText(QStringLiteral("1000"));
    w.txtInpFlt->setText(QStringLiteral("65537")); // only the low 16 bits go out
    w.txtHystWidth->setText(QStringLiteral("5"));
    w.txtCalOn->setText(QStringLiteral("11"));

    w.tbDownload->click();

    EXPECT_TRUE(s.boxes.Calls.empty()) << Texts(s.boxes).join('\n').toStdString();
    const QList<QByteArray> expected = Handshake()
        + QList<QByteArray>{Bytes({27, 6, 9, 44, 1, 23}), Bytes({27, 6, 8, 2, 0, 23}), Bytes({27, 6, 6, 232, 3, 23}),
                            Bytes({27, 6, 10, 1, 0, 23}), Bytes({27, 8, 7, 0, 0, 160, 64, 23}),
                            Req(TCommand::SAVE_CONF), CommOff()};
    EXPECT_EQ(s.Requests(), expected);
    EXPECT_EQ(w.txtInertWork->text(), QStringLiteral("300"));
    EXPECT_EQ(w.txtInertCalib->text(), QStringLiteral("5")); // what the sensor took, not what was typed
    EXPECT_EQ(w.txtInpFlt->text(), QStringLiteral("5"));
    EXPECT_EQ(w.txtCalOn->text(), QStringLiteral("11")); // results are never sent or changed
    const TSensorParams saved = s.sensor->Sensor().Saved();
    EXPECT_EQ(saved.InertWork, 300);
    EXPECT_EQ(saved.CalTime, 1000);
    EXPECT_TRUE(s.Idle());
}

TEST_F(Workflow, RefusedWriteIsReportedAndTheConfigurationIsStillSaved)
{
    TSensorOptions options;
    options.NakCommand = int(TCommand::CMD_SET_HYST_WIDTH);
    SensorWindow s(options);
    s.window.txtHystWidth->setText(QStringLiteral("7"));
    s.window.tbDownload->click();

    ASSERT_EQ(s.boxes.Calls.size(), 1u);
    EXPECT_EQ(s.boxes.Calls[0].Text, Nak("CMD_SET_HYST_WIDTH"));
    EXPECT_EQ(s.boxes.Calls[0].Caption, QStringLiteral("Error"));
    EXPECT_EQ(s.boxes.Calls[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(s.window.txtHystWidth->text(), QStringLiteral("7"));
    const QList<QByteArray> requests = s.Requests();
    ASSERT_GE(requests.size(), 2);
    EXPECT_EQ(requests[requests.size() - 2], Req(TCommand::SAVE_CONF));
    EXPECT_EQ(s.sensor->Sensor().Saved().InertWork, 25);
}

TEST_F(Workflow, CalibrationsSendTheirParametersThenRunAndShowTheResult)
{
    TSensorOptions options;
    options.Clamp = true;
    SensorWindow s(options);
    TfrmMain &w = s.window;
    w.txtInertCalib->setText(QStringLiteral("40"));
    // The sensor raises 1 ms to 5: the run must wait for the sensor's 5 ms, not the typed 1.
    w.txtCalTime->setText(QStringLiteral("1"));
    w.txtCalOn->setText(QString());
    w.txtCalOff->setText(QString());

    w.cmdCalOn->click();
    const QList<QByteArray> on = {Bytes({27, 6, 8, 40, 0, 23}), Bytes({27, 6, 6, 1, 0, 23}), Bytes({27, 5, 4, 1, 23}),
                                  CommOff()};
    EXPECT_EQ(s.Requests(), Handshake() + on);
    EXPECT_EQ(w.txtCalTime->text(), QStringLiteral("5"));
    EXPECT_EQ(w.txtCalOn->text(), FormatU16(s.sensor->Sensor().CalOn()));
    EXPECT_TRUE(w.txtCalOff->text().isEmpty());
    EXPECT_EQ(w.tmrTimeout->Interval(), DefaultTimerInterval);

    w.cmdCalOff->click();
    const QList<QByteArray> off = {Bytes({27, 6, 8, 40, 0, 23}), Bytes({27, 6, 6, 5, 0, 23}), Bytes({27, 5, 5, 1, 23}),
                                   CommOff()};
    EXPECT_EQ(s.Requests().mid(7), Handshake() + off);
    EXPECT_FALSE(w.txtCalOff->text().isEmpty());
    EXPECT_TRUE(s.boxes.Calls.empty()) << Texts(s.boxes).join('\n').toStdString();
    EXPECT_TRUE(s.Idle());
}

TEST_F(Workflow, SensorFallingSilentAfterTheHandshakeGivesOneMessagePerCommand)
{
    TSensorOptions options;
    options.SilentAfter = 3; // COMM_MODE, PING, ID
    SensorWindow s(options);
    TfrmMain &w = s.window;
    w.tmrTimeout->SetInterval(60);
    const QStringList before = {w.txtInertWork->text(), w.txtInertCalib->text(), w.txtCalTime->text(),
                                w.txtInpFlt->text(), w.txtHystWidth->text(), w.txtCalOn->text(), w.txtCalOff->text()};
    w.tbUpload->click();

    EXPECT_EQ(Texts(s.boxes), (QStringList{Failed("CMD_SET_INERT_T_WORK"), Failed("CMD_SET_INERT_T_CALIB"),
                                           Failed("CMD_SET_CAL_STAB_TIME"), Failed("CMD_SET_INP_FLT_TIME"),
                                           Failed("CMD_SET_HYST_WIDTH"), Failed("CMD_CAL_ON"), Failed("CMD_CAL_OFF")}));
    const QStringList after = {w.txtInertWork->text(), w.txtInertCalib->text(), w.txtCalTime->text(),
                               w.txtInpFlt->text(), w.txtHystWidth->text(), w.txtCalOn->text(), w.txtCalOff->text()};
    EXPECT_EQ(after, before);
    EXPECT_EQ(s.Requests().constLast(), CommOff());
    EXPECT_TRUE(s.Idle());
}

// A failure that ends a workflow early must not leave the window locked with the port open:
// the connection ends first, then the error is shown, and the window can be used and closed.
TEST_F(Workflow, FieldThatDoesNotConvertEndsTheConnectionBeforeItsErrorIsShown)
{
    SensorWindow s;
    TfrmMain &w = s.window;
    w.txtHystWidth->setText(QStringLiteral("abc"));
    bool connectedAtBox = true;
    std::vector<TMessageBoxCall> calls;
    MessageBoxHook recorder = SetMessageBoxHook([&](const TMessageBoxCall &call) {
        connectedAtBox = w.cpCOM->Connected();
        calls.push_back(call);
    });

    w.tbDownload->click();
    SetMessageBoxHook(recorder);

    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].Text.isEmpty());
    EXPECT_FALSE(connectedAtBox);
    const QList<QByteArray> requests = s.Requests();
    ASSERT_EQ(requests.size(), 8); // handshake, four writes, farewell: nothing for the bad field
    EXPECT_EQ(requests.constLast(), CommOff());
    EXPECT_FALSE(requests.contains(Req(TCommand::SAVE_CONF)));
    EXPECT_TRUE(s.Idle());

    // The window works on: the next workflow runs normally.
    w.txtHystWidth->setText(QStringLiteral("5"));
    w.tbDownload->click();
    EXPECT_EQ(s.Requests().size(), 8 + 10);
    EXPECT_TRUE(s.Idle());
}

TEST_F(Workflow, LineVanishingMidWorkflowIsShownClosesThePortAndLetsTheWindowClose)
{
    TSensorOptions options;
    options.SilentAfter = 5;
    SensorWindow s(options);
    TfrmMain &w = s.window;
    w.tmrTimeout->SetInterval(3000); // ended by the hang-up, not by a time-out
    WhenInLoop([&] { return s.Requests().size() >= 6; }, [&] { s.sensor->Unplug(); });

    QElapsedTimer clock;
    clock.start();
    w.tbUpload->click();

    EXPECT_LT(clock.elapsed(), 2500);
    // The port's own error, once: no command message and none for the failed farewell.
    ASSERT_EQ(s.boxes.Calls.size(), 1u);
    EXPECT_FALSE(s.boxes.Calls[0].Text.startsWith(QStringLiteral("Ошибка при команде")));
    EXPECT_EQ(s.Requests().size(), 6);
    EXPECT_FALSE(w.cpCOM->Connected());
    EXPECT_TRUE(s.Idle());
    const qsizetype shown = s.boxes.Calls.size();
    EXPECT_TRUE(w.close());
    EXPECT_EQ(s.boxes.Calls.size(), size_t(shown)); // no refusal
}

TEST_F(Workflow, CloseWhileConnectedIsRefusedAndTheTimeoutCountsAnew)
{
    TSensorOptions options;
    options.SilentAfter = 3;
    SensorWindow s(options);
    TfrmMain &w = s.window;
    constexpr int interval = 400;
    w.tmrTimeout->SetInterval(interval);

    bool closed = true;
    QElapsedTimer sinceClose;
    qint64 untilTimeout = -1;
    MessageBoxHook recorder = SetMessageBoxHook([&](const TMessageBoxCall &call) {
        s.boxes.Calls.push_back(call);
        if (call.Text == Failed("CMD_SET_INERT_T_WORK") && sinceClose.isValid())
            untilTimeout = sinceClose.elapsed();
    });
    // 200 ms into the first command's wait: without a restart its time-out would come 200 ms later.
    WhenInLoop([&] { return s.Requests().size() >= 4; },
               [&] { QTimer::singleShot(200, [&] { sinceClose.start(); closed = w.close(); }); });
    w.tbUpload->click();
    SetMessageBoxHook(recorder);

    EXPECT_FALSE(closed);
    EXPECT_TRUE(w.isVisible());
    ASSERT_GE(s.boxes.Calls.size(), 2u);
    EXPECT_EQ(s.boxes.Calls[0].Text, QStringLiteral("Происходит обмен данными. Дождитесь окончания процесса."));
    EXPECT_EQ(s.boxes.Calls[0].Caption, QStringLiteral("Низя!"));
    EXPECT_EQ(s.boxes.Calls[0].Icon, QMessageBox::Critical);
    EXPECT_GE(untilTimeout, interval - 20);
    EXPECT_TRUE(s.Idle());
    EXPECT_TRUE(w.close());
}

// A line that floods bytes which never form a frame: the command ends as a time-out once the
// largest reply could have arrived at 9600 baud (15.6 s) and one period more, and the window
// is free again. While it floods, the close is refused as during any exchange.
TEST_F(Workflow, AFloodingLineEndsTheCommandAsATimeOutAndTheWindowCanClose)
{
    TSensorOptions options;
    options.SilentAfter = 3;
    SensorWindow s(options);
    TfrmMain &w = s.window;
    // A whole period of silence before the flood starts is no risk on a slow machine.
    w.tmrTimeout->SetInterval(DefaultTimerInterval);
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        while (s.Requests().size() < 4 && !stop)
            QThread::msleep(2);
        // 800 bytes a second, under the line rate; 40 s at most, so that a wait the flood
        // holds fails the test instead of hanging it.
        for (int i = 0; i < 4000 && !stop; ++i) {
            s.sensor->Inject(QByteArray(8, '\x55'));
            QThread::msleep(10);
        }
    });
    QElapsedTimer clock;
    qint64 firstFailure = -1;
    bool closedDuringFlood = true;
    MessageBoxHook recorder = SetMessageBoxHook([&](const TMessageBoxCall &call) {
        s.boxes.Calls.push_back(call);
        if (firstFailure < 0 && call.Text == Failed("CMD_SET_INERT_T_WORK")) {
            firstFailure = clock.elapsed();
            stop = true;
            w.tmrTimeout->SetInterval(50); // the other commands meet a quiet line
        }
    });
    WhenInLoop([&] { return s.Requests().size() >= 4; },
               [&] { QTimer::singleShot(1000, [&] { closedDuringFlood = w.close(); }); });
    clock.start();
    w.tbUpload->click();
    SetMessageBoxHook(recorder);
    stop = true;
    flood.join();

    EXPECT_FALSE(closedDuringFlood);
    EXPECT_GE(firstFailure, 15625 + DefaultTimerInterval);
    EXPECT_LT(firstFailure, 15625 + DefaultTimerInterval + 5000);
    EXPECT_TRUE(s.Idle());
    EXPECT_TRUE(w.close());
}

} // namespace
