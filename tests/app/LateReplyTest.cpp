// Slow sensors and late replies through the real window: every field shows its own command's
// value or keeps its text, and the sensor receives exactly the workflow's requests.
#include "SensorWindow.h"

#include "protocol/FieldText.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

struct LateReply : ::testing::Test {
    static void SetUpTestSuite() { QLocale::setDefault(QLocale::c()); }
};

QList<QLineEdit *> Fields(TfrmMain &w)
{
    return {w.txtInertWork, w.txtInertCalib, w.txtCalTime, w.txtInpFlt, w.txtHystWidth, w.txtCalOn, w.txtCalOff};
}

QStringList FieldTexts(TfrmMain &w)
{
    QStringList texts;
    for (QLineEdit *field : Fields(w))
        texts << field->text();
    return texts;
}

TSensorOptions Slow(int code, int ms)
{
    TSensorOptions options;
    options.SlowCommand = code;
    options.SlowCommandMs = ms;
    return options;
}

TSensorOptions AllLate(int ms)
{
    TSensorOptions options;
    options.ProcessingDelayMs = ms;
    return options;
}

// The sensor's factory values, in the order of Fields().
const QStringList SensorValues = {"25", "100", "25000", "100", "5", "3124", "1187"};

// Read: the values a late reply would shift into the wrong fields are all different, so every
// shift shows. "-" marks a field that keeps its text ("7").
TEST_F(LateReply, ReadShowsEveryValueInItsOwnField)
{
    struct Case {
        const char *Name;
        TSensorOptions Options;
        QStringList Boxes;
        QStringList Fields;
    };
    const Case cases[] = {
        {"COMM_MODE answered just after its window", Slow(0, 70), {}, SensorValues},
        {"COMM_MODE answered after almost a second", Slow(0, 900), {}, SensorValues},
        {"COMM_MODE never answered", [] { TSensorOptions o; o.IgnoredCommand = 0; return o; }(), {}, SensorValues},
        {"every reply 60 ms late", AllLate(60), {}, SensorValues},
        {"a reply 100 ms after its time-out", Slow(int(TCommand::CMD_SET_INERT_T_WORK), 1100),
         {Failed("CMD_SET_INERT_T_WORK")}, {"-", "100", "25000", "100", "5", "3124", "1187"}},
        {"a reply 450 ms after its time-out", Slow(int(TCommand::CMD_SET_HYST_WIDTH), 1450),
         {Failed("CMD_SET_HYST_WIDTH")}, {"25", "100", "25000", "100", "-", "3124", "1187"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        SensorWindow s(c.Options);
        TfrmMain &w = s.window;
        for (QLineEdit *field : Fields(w))
            field->setText(QStringLiteral("7"));
        w.tbUpload->click();

        EXPECT_EQ(Texts(s.boxes), c.Boxes);
        QStringList expected = c.Fields;
        expected.replaceInStrings(QRegularExpression(QStringLiteral("^-$")), QStringLiteral("7"));
        EXPECT_EQ(FieldTexts(w), expected);
        EXPECT_EQ(s.Requests(), ReadWorkflowRequests());
        EXPECT_TRUE(s.Idle());
    }
}

// Write and both calibrations with a sensor that is late for every reply or for COMM_MODE.
TEST_F(LateReply, WriteAndCalibrationsWorkWithASlowSensor)
{
    for (const TSensorOptions &options : {AllLate(60), Slow(0, 600)}) {
        SCOPED_TRACE(options.ProcessingDelayMs);
        {
            SensorWindow s(options);
            TfrmMain &w = s.window;
            const QStringList typed = {"41", "42", "43", "44", "6", "1", "2"};
            for (int i = 0; i < typed.size(); ++i)
                Fields(w)[i]->setText(typed[i]);
            w.tbDownload->click();
            EXPECT_TRUE(s.boxes.Calls.empty()) << Texts(s.boxes).join('\n').toStdString();
            EXPECT_EQ(FieldTexts(w), typed);
            const QList<QByteArray> writes = {Bytes({27, 6, 9, 41, 0, 23}), Bytes({27, 6, 8, 42, 0, 23}),
                                              Bytes({27, 6, 6, 43, 0, 23}), Bytes({27, 6, 10, 44, 0, 23}),
                                              Bytes({27, 8, 7, 0, 0, 192, 64, 23}), Req(TCommand::SAVE_CONF), CommOff()};
            EXPECT_EQ(s.Requests(), Handshake() + writes);
            const TSensorParams saved = s.sensor->Sensor().Saved();
            EXPECT_EQ(saved, (TSensorParams{41, 44, 6.0f, 42, 43}));
        }
        for (bool on : {true, false}) {
            SensorWindow s(options);
            TfrmMain &w = s.window;
            const QStringList typed = {"7", "30", "20", "7", "7", "7", "7"};
            for (int i = 0; i < typed.size(); ++i)
                Fields(w)[i]->setText(typed[i]);
            (on ? w.cmdCalOn : w.cmdCalOff)->click();
            EXPECT_TRUE(s.boxes.Calls.empty()) << Texts(s.boxes).join('\n').toStdString();
            QStringList expected = typed;
            expected[on ? 5 : 6] = FormatU16(on ? s.sensor->Sensor().CalOn() : s.sensor->Sensor().CalOff());
            EXPECT_NE(expected, typed);
            EXPECT_EQ(FieldTexts(w), expected);
            const QList<QByteArray> sent = {Bytes({27, 6, 8, 30, 0, 23}), Bytes({27, 6, 6, 20, 0, 23}),
                                            Bytes({27, 5, on ? 4 : 5, 1, 23}), CommOff()};
            EXPECT_EQ(s.Requests(), Handshake() + sent);
        }
    }
}

} // namespace
