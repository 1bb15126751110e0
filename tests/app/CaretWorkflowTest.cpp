// Workflows started while the caret is in a field, as a user starts them: the texts go out as
// they stand, only a real leave of a field checks it, and the caret comes back afterwards.
#include "SensorWindow.h"

#include "app/FieldDisplay.h"
#include "app/FieldLimits.h"
#include "app/GroupEnable.h"
#include "protocol/FieldText.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString rangeTail = QStringLiteral("от 5 до 65535.");
const QString emptyInteger = QStringLiteral("'' is not a valid integer value");

struct CaretWorkflow : ::testing::Test {
    static void SetUpTestSuite() { QLocale::setDefault(QLocale::c()); }

    void SetUp() override
    {
        s = std::make_unique<SensorWindow>();
        w().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
        // Every box is recorded with whether the port was open when it came up.
        previous = SetMessageBoxHook([this](const TMessageBoxCall &call) {
            boxes.push_back(call);
            connectedAtBox.push_back(w().cpCOM->Connected());
        });
    }
    void TearDown() override { SetMessageBoxHook(previous); }

    TfrmMain &w() { return s->window; }

    /// Puts the caret into field as a Tab does and lets its entry run.
    void MoveFocus(QWidget *to)
    {
        to->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    /// Replaces the text of the field the caret is in by typing.
    static void Type(QLineEdit *field, const char *text)
    {
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, QString::fromLatin1(text));
    }
    /// Clicks a button with the mouse and lets everything it started run out.
    void Click(QWidget *button)
    {
        QTest::mouseClick(button, Qt::LeftButton);
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    QStringList BoxTexts() const
    {
        QStringList texts;
        for (const TMessageBoxCall &call : boxes)
            texts << call.Text;
        return texts;
    }
    bool AnyBoxWhileConnected() const { return std::find(connectedAtBox.begin(), connectedAtBox.end(), true) != connectedAtBox.end(); }

    std::unique_ptr<SensorWindow> s;
    MessageBoxHook previous;
    std::vector<TMessageBoxCall> boxes;
    std::vector<bool> connectedAtBox;
};

// «4» in «Постоянная времени» and «60» in «Ширина гистерезиса», written without leaving the
// field: each goes out as typed and the field shows what the sensor took.
TEST_F(CaretWorkflow, OutOfRangeTextInTheFieldIsWrittenAsTypedAndCheckedOnlyOnTheRealLeave)
{
    struct TCase {
        QLineEdit *Field;
        const char *Typed;
        QByteArray Frame;
        QString OnEntry;
    };
    const TCase cases[] = {{w().txtInertWork, "4", Bytes({27, 6, 9, 4, 0, 23}), QStringLiteral("25")},
                           {w().txtHystWidth, "60", Bytes({27, 8, 7, 0, 0, 112, 66, 23}), QStringLiteral("5")}};
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Field->objectName().toStdString());
        boxes.clear();
        FieldLimits[1].OnEntry.Int = 0; // txtInpFlt: the user never enters it
        MoveFocus(c.Field);
        Type(c.Field, c.Typed);
        const qsizetype before = s->Requests().size();
        Click(w().tbDownload);

        EXPECT_TRUE(boxes.empty()) << BoxTexts().join('\n').toStdString();
        EXPECT_TRUE(s->Requests().mid(before).contains(c.Frame));
        EXPECT_EQ(c.Field->text(), QString::fromLatin1(c.Typed)); // the sensor's answer
        EXPECT_TRUE(s->Idle());
        // The caret is back and the value on entry is still the one before the typing.
        EXPECT_TRUE(c.Field->hasFocus());
        EXPECT_EQ(OnEntryText(FieldLimitOf(Tag(c.Field))), c.OnEntry);
        // The fields the connection's focus moves passed through were never entered.
        EXPECT_EQ(FieldLimits[1].OnEntry.Int, 0);

        // Leaving it now is an ordinary leave: one range box, the value on entry comes back.
        MoveFocus(w().txtInertCalib);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_FALSE(connectedAtBox[0]);
        EXPECT_EQ(c.Field->text(), c.OnEntry);
    }
}

TEST_F(CaretWorkflow, EmptiedOtherFieldGivesItsConversionErrorOnce)
{
    MoveFocus(w().txtInertWork);
    w().txtInpFlt->clear();
    Click(w().tbDownload);

    EXPECT_EQ(BoxTexts(), QStringList{emptyInteger});
    EXPECT_FALSE(AnyBoxWhileConnected()); // the connection ends before the error is shown
    const QList<QByteArray> expected = Handshake()
        + QList<QByteArray>{Bytes({27, 6, 9, 25, 0, 23}), Bytes({27, 6, 8, 100, 0, 23}),
                            Bytes({27, 6, 6, 0xA8, 0x61, 23}), CommOff()};
    EXPECT_EQ(s->Requests(), expected);
    EXPECT_TRUE(s->Idle());
    EXPECT_TRUE(w().txtInertWork->hasFocus());
}

TEST_F(CaretWorkflow, OutOfRangeValueLoadedElsewhereIsReadOverAndWrittenAsItStands)
{
    MoveFocus(w().txtInertWork);
    ShowFieldText(w().txtCalTime, QStringLiteral("70000")); // as a loaded file leaves it
    Click(w().tbDownload);
    EXPECT_TRUE(boxes.empty()) << BoxTexts().join('\n').toStdString();
    EXPECT_TRUE(s->Requests().contains(Bytes({27, 6, 6, 0x70, 0x11, 23}))); // its low 16 bits

    ShowFieldText(w().txtInpFlt, QStringLiteral("70000"));
    Click(w().tbUpload);
    EXPECT_TRUE(boxes.empty()) << BoxTexts().join('\n').toStdString();
    EXPECT_EQ(w().txtInpFlt->text(), FormatU16(s->sensor->Sensor().Params().InpFlt));
    EXPECT_TRUE(w().txtInertWork->hasFocus());
    EXPECT_TRUE(s->Idle());
}

// A calibration button takes the focus on its press: that leave is checked first, its box
// comes up before the port opens, and the calibration sends what the field then holds.
TEST_F(CaretWorkflow, LeavingAFieldForACalibrationButtonChecksItBeforeTheCalibration)
{
    // A short calibration whose wait (plus 50 ms) still holds on a slow, instrumented build.
    ShowFieldText(w().txtCalTime, QStringLiteral("300"));
    MoveFocus(w().txtInertCalib);
    Type(w().txtInertCalib, "4");
    Click(w().cmdCalOn);

    ASSERT_EQ(boxes.size(), 1u) << BoxTexts().join('\n').toStdString();
    EXPECT_TRUE(boxes[0].Text.endsWith(rangeTail));
    EXPECT_FALSE(connectedAtBox[0]);
    const QList<QByteArray> expected = Handshake()
        + QList<QByteArray>{Bytes({27, 6, 8, 100, 0, 23}), Bytes({27, 6, 6, 44, 1, 23}), Bytes({27, 5, 4, 1, 23}),
                            CommOff()};
    EXPECT_EQ(s->Requests(), expected);
    EXPECT_EQ(w().txtInertCalib->text(), QStringLiteral("100"));
    EXPECT_TRUE(w().cmdCalOn->hasFocus());
    EXPECT_TRUE(s->Idle());

    // With a good value there is no box and the typed value is what goes out.
    boxes.clear();
    MoveFocus(w().txtInertCalib);
    Type(w().txtInertCalib, "40");
    Click(w().cmdCalOff);
    EXPECT_TRUE(boxes.empty()) << BoxTexts().join('\n').toStdString();
    EXPECT_TRUE(s->Requests().contains(Bytes({27, 6, 8, 40, 0, 23})));
}

// Texts the program writes show their beginning; a plain setText shows the end of a long one.
TEST_F(CaretWorkflow, FieldsTheProgramWritesShowTheBeginningOfALongText)
{
    ShowFieldText(w().txtHystWidth, QStringLiteral("2.3"));
    Click(w().tbDownload);
    Click(w().tbUpload);
    const QString shown = QStringLiteral("2.29999995231628");
    ASSERT_EQ(w().txtHystWidth->text(), shown);
    ASSERT_GT(w().txtHystWidth->fontMetrics().horizontalAdvance(shown), w().txtHystWidth->width());
    EXPECT_EQ(w().txtHystWidth->cursorPosition(), 0);
    // What the box paints: the caret spot, and with it the text's scroll, at the left edge.
    EXPECT_LT(w().txtHystWidth->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), 10);

    // A value put back after a range box shows its beginning too.
    MoveFocus(w().txtHystWidth);
    Type(w().txtHystWidth, "70");
    MoveFocus(w().txtInertWork);
    ASSERT_EQ(w().txtHystWidth->text(), shown);
    EXPECT_EQ(w().txtHystWidth->cursorPosition(), 0);
}

} // namespace
