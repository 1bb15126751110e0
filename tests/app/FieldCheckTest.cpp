// Range checks of the editable fields when the user enters and leaves them.
#include "TestSupport.h"

#include "app/FieldLimits.h"
#include "app/MainWindow.h"
#include "protocol/FieldText.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString errorCaption = QString::fromUtf8("Ошибка");
const QString integerRange = QString::fromUtf8(
    "Введено значение вне допустимого диапазона. Значение в данном поле должно лежать в пределах от 5 до 65535.");
const QString realRange = QString::fromUtf8("Введено значение вне допустимого диапазона. Значение в данном поле должно "
                                            "лежать в пределах от 1.000000 до 50.000000.");

// Enters the field, replaces its text with typed, and leaves it, as the handlers see it.
void Edit(TfrmMain &w, QLineEdit *field, const QString &typed)
{
    w.limits_OnEnter(field);
    field->setText(typed);
    w.limits_OnExit(field);
}

void ProcessEvents()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace

TEST(FieldCheck, IntegerBoundsAreValidAndOneBeyondIsPutBack)
{
    TfrmMain w;
    for (QLineEdit *field : {w.txtInertWork, w.txtInpFlt, w.txtInertCalib, w.txtCalTime}) {
        SCOPED_TRACE(field->objectName().toStdString());
        const QString before = field->text();
        for (const char *ok : {"5", "65535", "007"}) {
            TMessageRecorder boxes;
            Edit(w, field, QString::fromLatin1(ok));
            EXPECT_TRUE(boxes.Calls.empty()) << ok;
            EXPECT_EQ(field->text(), QString::fromLatin1(ok)); // kept exactly as typed
            field->setText(before);
        }
        for (const char *bad : {"4", "65536", "0", "-5"}) {
            TMessageRecorder boxes;
            Edit(w, field, QString::fromLatin1(bad));
            ASSERT_EQ(boxes.Calls.size(), 1u) << bad;
            EXPECT_EQ(boxes.Calls[0].Text, integerRange);
            EXPECT_EQ(boxes.Calls[0].Caption, errorCaption);
            EXPECT_EQ(boxes.Calls[0].Icon, QMessageBox::Critical);
            EXPECT_EQ(field->text(), before) << bad;
        }
    }
}

TEST(FieldCheck, RealBoundsInCommaAndPointLocales)
{
    for (const bool comma : {true, false}) {
        SCOPED_TRACE(comma ? "comma" : "point");
        TLocaleGuard locale(comma ? CommaLocale() : PointLocale());
        TfrmMain w;
        const auto local = [&](const char *text) { return QString::fromLatin1(text).replace(u'.', comma ? u',' : u'.'); };
        for (const char *ok : {"1", "50", "5.50", "1e1"}) {
            TMessageRecorder boxes;
            Edit(w, w.txtHystWidth, local(ok));
            EXPECT_TRUE(boxes.Calls.empty()) << ok;
            EXPECT_EQ(w.txtHystWidth->text(), local(ok));
            w.txtHystWidth->setText(QStringLiteral("5"));
        }
        for (const char *bad : {"50.0001", "0.9999", "60"}) {
            TMessageRecorder boxes;
            Edit(w, w.txtHystWidth, local(bad));
            ASSERT_EQ(boxes.Calls.size(), 1u) << bad;
            EXPECT_EQ(boxes.Calls[0].Text, realRange); // printf bounds whatever the locale
            EXPECT_EQ(w.txtHystWidth->text(), QStringLiteral("5"));
        }
        // The value on entry is held in single precision.
        w.txtHystWidth->setText(local("2.3"));
        TMessageRecorder boxes;
        Edit(w, w.txtHystWidth, QStringLiteral("60"));
        EXPECT_EQ(w.txtHystWidth->text(), local("2.29999995231628"));
    }
}

// A NaN compares false both ways; it, the infinities and values beyond single precision must
// not pass the check as if they were inside the bounds.
TEST(FieldCheck, NonFiniteAndHugeRealsAreOutOfRange)
{
    TLocaleGuard locale(PointLocale());
    TfrmMain w;
    for (const char *bad : {"nan", "NAN", "inf", "-inf", "1e39", "-1e39"}) {
        SCOPED_TRACE(bad);
        TMessageRecorder boxes;
        Edit(w, w.txtHystWidth, QString::fromLatin1(bad));
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Text, realRange);
        EXPECT_EQ(w.txtHystWidth->text(), QStringLiteral("5"));
    }
}

TEST(FieldCheck, OutOfRangeValueOnEntryIsShownAndStays)
{
    TfrmMain w;
    w.txtInpFlt->setText(QStringLiteral("70000")); // as a loaded file may leave it
    TMessageRecorder boxes;
    Edit(w, w.txtInpFlt, QStringLiteral("70000"));
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(w.txtInpFlt->text(), QStringLiteral("70000"));
}

TEST(FieldCheck, TextThatIsNoNumberIsAConversionErrorNotARangeError)
{
    TLocaleGuard locale(CommaLocale());
    TfrmMain w;
    w.limits_OnEnter(w.txtInertWork);
    w.txtInertWork->setText(QStringLiteral("99999999999"));
    EXPECT_THROW(w.limits_OnExit(w.txtInertWork), EConvertError);
    EXPECT_EQ(w.txtInertWork->text(), QStringLiteral("99999999999"));

    w.limits_OnEnter(w.txtHystWidth);
    w.txtHystWidth->setText(QStringLiteral("2.5")); // a point where the locale has a comma
    EXPECT_THROW(w.limits_OnExit(w.txtHystWidth), EConvertError);
}

TEST(FieldCheck, EmptiedFieldKeepsItsEarlierValueOnEntry)
{
    TfrmMain w;
    w.limits_OnEnter(w.txtInpFlt); // 100
    w.txtInpFlt->clear();
    try {
        w.limits_OnExit(w.txtInpFlt);
        FAIL() << "an empty field converted";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'' is not a valid integer value"));
    }
    EXPECT_EQ(w.txtInpFlt->text(), QString());
    EXPECT_THROW(w.limits_OnEnter(w.txtInpFlt), EConvertError);

    TMessageRecorder boxes;
    w.txtInpFlt->setText(QStringLiteral("4"));
    w.limits_OnExit(w.txtInpFlt);
    EXPECT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(w.txtInpFlt->text(), QStringLiteral("100"));
}

// The same checks driven by real focus changes in a shown window.
class FieldFocus : public ::testing::Test {
protected:
    void SetUp() override
    {
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }

    void MoveFocus(QWidget *to)
    {
        to->setFocus(Qt::TabFocusReason);
        ProcessEvents();
    }

    TfrmMain w;
};

TEST_F(FieldFocus, LeavingAFieldChecksItOnce)
{
    MoveFocus(w.txtInertWork);
    TMessageRecorder boxes;
    w.txtInertWork->setText(QStringLiteral("4"));
    MoveFocus(w.txtInpFlt);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, integerRange);
    EXPECT_EQ(w.txtInertWork->text(), QStringLiteral("25"));
    EXPECT_TRUE(w.txtInpFlt->hasFocus()); // the focus goes on; only the value is put back

    // Leaving the next field with a good value shows nothing.
    MoveFocus(w.txtCalOn);
    EXPECT_EQ(boxes.Calls.size(), 1u);
}

TEST_F(FieldFocus, ConversionErrorsReachTheStandardDisplay)
{
    MoveFocus(w.txtInertWork);
    TMessageRecorder boxes;
    w.txtInertWork->clear();
    MoveFocus(w.txtInpFlt);
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, QStringLiteral("'' is not a valid integer value"));
    EXPECT_EQ(w.txtInertWork->text(), QString());

    // Entering the emptied field fails the same way; leaving it with a bad value restores 25.
    MoveFocus(w.txtInertWork);
    ASSERT_EQ(boxes.Calls.size(), 2u);
    EXPECT_EQ(boxes.Calls[1].Text, QStringLiteral("'' is not a valid integer value"));
    w.txtInertWork->setText(QStringLiteral("70000"));
    MoveFocus(w.txtInpFlt);
    ASSERT_EQ(boxes.Calls.size(), 3u);
    EXPECT_EQ(w.txtInertWork->text(), QStringLiteral("25"));
}

TEST_F(FieldFocus, ResultFieldsAreNeverChecked)
{
    TMessageRecorder boxes;
    w.txtCalOn->setText(QStringLiteral("-70000"));
    MoveFocus(w.txtCalOn);
    MoveFocus(w.txtCalOff);
    MoveFocus(w.cmdCalOn);
    EXPECT_TRUE(boxes.Calls.empty());
}

TEST_F(FieldFocus, ARealModalBoxIsShownOncePerLeave)
{
    MoveFocus(w.txtCalTime);
    int shown = 0;
    const MessageBoxHook previous = SetMessageBoxHook([&](const TMessageBoxCall &call) {
        ++shown;
        QMessageBox box(call.Icon, call.Caption, call.Text, QMessageBox::Ok, &w);
        // Dismiss the box once it is up and has taken the focus away from the window.
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, &box, [&] {
            if (box.isVisible())
                box.accept();
        });
        closer.start(10);
        box.exec();
    });
    w.txtCalTime->setText(QStringLiteral("1"));
    MoveFocus(w.txtInertCalib);
    // Let the window take the focus back and give any stray check time to show up.
    w.activateWindow();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    SetMessageBoxHook(previous);

    EXPECT_EQ(shown, 1);
    EXPECT_EQ(w.txtCalTime->text(), QStringLiteral("25000"));
    EXPECT_TRUE(w.txtInertCalib->hasFocus());

    // The box's coming and going did not lose track of the field the user is in.
    TMessageRecorder boxes;
    w.txtInertCalib->setText(QStringLiteral("3"));
    MoveFocus(w.txtCalTime);
    EXPECT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(w.txtInertCalib->text(), QStringLiteral("100"));
}
