// The window's contents as the user sees them, and the switching of controls during a connection.
#include "app/GroupEnable.h"
#include "app/MainWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

struct TFieldRow {
    const char *Name;
    const char *Group;
    int Y;
    int Tag;
    const char *Text;
    bool DigitsOnly;
    bool ReadOnly;
    const char *Hint;
};

const char *const averagingHint = "Время усреднения сигнала в режиме калибровки";

const TFieldRow fieldRows[] = {
    {"txtInertWork", "gbWork", 34, 0, "25", true, false,
     "Постоянная времени инерционного звена входного фильтра в режиме нормальной работы."},
    {"txtInpFlt", "gbWork", 61, 1, "100", true, false,
     "Минимальное время переключения выходного сигнала в режиме нормальной работы."},
    {"txtHystWidth", "gbWork", 88, 4, "5", false, false,
     "Ширина петли гистерезиса переключения в режиме нормальной работы, % от разницы между "
     "чувствительностью включения и выключения."},
    {"txtInertCalib", "gbCal", 18, 2, "100", true, false,
     "Постоянная времени инерционного звена входного фильтра в режиме калибровки."},
    {"txtCalTime", "gbCal", 45, 3, "25000", true, false, averagingHint},
    {"txtCalOn", "gbCal", 75, 0, "0", true, true, averagingHint},
    {"txtCalOff", "gbCal", 106, 0, "0", true, true, averagingHint},
};

} // namespace

TEST(MainWindow, WindowIsFixedSizeWithCaptionAndNoMaximise)
{
    TfrmMain w;
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Level sensor configurator"));
    EXPECT_EQ(w.minimumSize(), QSize(499, 191));
    EXPECT_EQ(w.maximumSize(), QSize(499, 191));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.font().pixelSize(), 14);
}

TEST(MainWindow, FieldsHaveTheirPlaceDefaultsTagsAndHints)
{
    TfrmMain w;
    for (const TFieldRow &row : fieldRows) {
        SCOPED_TRACE(row.Name);
        auto *edit = w.findChild<QLineEdit *>(QString::fromLatin1(row.Name));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->parentWidget()->objectName(), QString::fromLatin1(row.Group));
        EXPECT_EQ(edit->geometry(), QRect(150, row.Y, 66, 24));
        EXPECT_EQ(Tag(edit), row.Tag);
        EXPECT_EQ(edit->text(), QString::fromUtf8(row.Text));
        EXPECT_EQ(edit->isReadOnly(), row.ReadOnly);
        EXPECT_EQ(edit->toolTip(), QString::fromUtf8(row.Hint));

        // Typing: digit-only boxes drop everything but digits; the real box takes a decimal number.
        edit->setReadOnly(false);
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("1a2,5-"));
        EXPECT_EQ(edit->text(), row.DigitsOnly ? QStringLiteral("125") : QStringLiteral("1a2,5-"));
    }
}

TEST(MainWindow, GroupsLabelsAndButtons)
{
    TfrmMain w;
    EXPECT_EQ(w.gbWork->title(), QString::fromUtf8("Работа"));
    EXPECT_EQ(w.gbWork->geometry(), QRect(0, 45, 246, 140));
    EXPECT_EQ(w.gbCal->title(), QString::fromUtf8("Калибровка"));
    EXPECT_EQ(w.gbCal->geometry(), QRect(249, 45, 248, 140));
    EXPECT_TRUE(w.gbWork->font().bold());
    EXPECT_FALSE(w.txtInertWork->font().bold());

    const std::pair<const char *, const char *> labels[] = {
        {"Label8", "Постоянная времени:"}, {"Label9", "мс."},  {"Label10", "Время переключения:"},
        {"Label11", "мс."}, {"Label12", "Ширина гистерезиса:"}, {"Label13", "%"},
        {"Label4", "Постоянная времени:"}, {"Label14", "мс."}, {"Label5", "Время усреднения:"},
        {"Label15", "мс."}, {"Label1", "ед."}, {"Label2", "ед."},
    };
    for (const auto &[name, text] : labels) {
        auto *label = w.findChild<QLabel *>(QString::fromLatin1(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text(), QString::fromUtf8(text)) << name;
        EXPECT_FALSE(label->font().bold()) << name;
    }

    EXPECT_EQ(w.cmdCalOn->text(), QString::fromUtf8("Калибровка вкл."));
    EXPECT_EQ(w.cmdCalOn->geometry(), QRect(3, 75, 126, 25));
    EXPECT_EQ(w.cmdCalOn->toolTip(), QString::fromUtf8("Запуск калибровки включенного состояния"));
    EXPECT_EQ(w.cmdCalOff->text(), QString::fromUtf8("Калибровка выкл."));
    EXPECT_EQ(w.cmdCalOff->geometry(), QRect(3, 106, 126, 25));
    EXPECT_EQ(w.cmdCalOff->toolTip(), QString::fromUtf8("Запуск калибровки выключенного состояния"));
}

TEST(MainWindow, ToolbarItemsLeftToRight)
{
    TfrmMain w;
    EXPECT_EQ(w.tlbToolbar->geometry(), QRect(0, 3, 277, 30));
    struct TItem {
        QToolButton *Button;
        const char *Hint;
        int Tag;
    };
    const TItem items[] = {{w.ToolButton1, "Открыть файл", 0}, {w.tbSave, "Сохранить файл", 1},
                           {w.tbUpload, "Выгрузить из устройства на ПК", 0},
                           {w.tbDownload, "Загрузить с ПК в устройство", 0}, {w.tbAbout, "О программе", 1}};
    int lastX = -1;
    for (const TItem &item : items) {
        EXPECT_EQ(item.Button->toolTip(), QString::fromUtf8(item.Hint));
        EXPECT_EQ(item.Button->size(), QSize(31, 30));
        EXPECT_EQ(Tag(item.Button), item.Tag);
        EXPECT_FALSE(item.Button->icon().isNull()) << item.Hint;
        EXPECT_GT(item.Button->x(), lastX);
        EXPECT_LE(item.Button->geometry().right(), w.tlbToolbar->width());
        lastX = item.Button->x();
    }
    EXPECT_LT(w.tbSave->x(), w.ccbPort->x());
    EXPECT_LT(w.ccbPort->x(), w.tbUpload->x());
    EXPECT_EQ(w.ccbPort->size(), QSize(97, 24));
    EXPECT_FALSE(w.ccbPort->isEditable());
    // The chosen port's path and description follow on the next line.
    EXPECT_EQ(w.ccbPort->toolTip().section(QLatin1Char('\n'), 0, 0), QString::fromUtf8("Выбор COM-порта"));
    for (const char *divider : {"ToolButton3", "ToolButton4", "ToolButton7"})
        EXPECT_EQ(w.findChild<QFrame *>(QString::fromLatin1(divider))->width(), 8) << divider;

    EXPECT_EQ(w.Image1->geometry(), QRect(278, 0, 480, 42));
    EXPECT_FALSE(w.Image1->pixmap().isNull());
}

TEST(MainWindow, TabOrderRunsThroughToolbarThenWorkThenCalibration)
{
    TfrmMain w;
    const QWidget *expected[] = {w.ccbPort,   w.txtInertWork, w.txtInpFlt, w.txtHystWidth, w.txtInertCalib,
                                 w.txtCalTime, w.cmdCalOn,     w.txtCalOn,  w.cmdCalOff,    w.txtCalOff};
    QWidget *at = w.ccbPort;
    for (size_t i = 1; i < std::size(expected); ++i) {
        do
            at = at->nextInFocusChain();
        while (at->focusPolicy() == Qt::NoFocus && at != w.ccbPort);
        EXPECT_EQ(at, expected[i]) << "position " << i;
    }
}

TEST(MainWindow, SetGroupEnabledSwitchesEveryControlOfTheCalibrationGroup)
{
    TfrmMain w;
    const QList<QWidget *> children = w.gbCal->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(children.size(), 12); // two edits, two buttons, two result boxes, six labels

    SetGroupEnabled(false, w.gbCal);
    EXPECT_FALSE(w.gbCal->isEnabled());
    // Each child is switched itself, not only greyed out by its group.
    for (QWidget *child : children)
        EXPECT_TRUE(child->testAttribute(Qt::WA_ForceDisabled)) << child->objectName().toStdString();
    EXPECT_TRUE(w.gbWork->isEnabled());
    EXPECT_TRUE(w.txtInertWork->isEnabled());

    SetGroupEnabled(true, w.gbCal);
    EXPECT_TRUE(w.gbCal->isEnabled());
    for (QWidget *child : children)
        EXPECT_TRUE(child->isEnabled()) << child->objectName().toStdString();
}

TEST(MainWindow, SetGroupEnabledDescendsOnlyIntoTaggedContainers)
{
    QWidget group;
    auto *nested = new QFrame(&group);
    auto *inNested = new QLabel(nested);
    auto *plain = new QFrame(&group);
    auto *inPlain = new QLabel(plain);
    SetTag(nested, NestedGroupTag);

    SetGroupEnabled(false, &group);
    EXPECT_TRUE(nested->testAttribute(Qt::WA_ForceDisabled));
    EXPECT_TRUE(inNested->testAttribute(Qt::WA_ForceDisabled));
    EXPECT_TRUE(plain->testAttribute(Qt::WA_ForceDisabled));
    EXPECT_FALSE(inPlain->testAttribute(Qt::WA_ForceDisabled));
}

// The user sees the controls switch before the line work starts, not on the next paint pass.
TEST(MainWindow, SetGroupEnabledRepaintsEachControlAtOnce)
{
    TfrmMain w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QCoreApplication::processEvents();

    struct TPaintCounter : QObject {
        QSet<QObject *> Painted;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                Painted.insert(watched);
            return false;
        }
    } counter;
    const QList<QWidget *> children = w.gbCal->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children)
        child->installEventFilter(&counter);

    SetGroupEnabled(false, w.gbCal); // no event loop pass in between
    for (QWidget *child : children)
        EXPECT_TRUE(counter.Painted.contains(child)) << child->objectName().toStdString();
}

// Locking the controls for a connection paints each group once, not once per control.
TEST(MainWindow, LockingTheControlsPaintsEachGroupOnce)
{
    TfrmMain w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QCoreApplication::processEvents();
    struct TPaintCounter : QObject {
        QHash<QObject *, int> Paints;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                ++Paints[watched];
            return false;
        }
    } counter;
    const QList<QWidget *> painted{w.gbWork, w.gbCal, w.tbUpload, w.tbDownload, w.cmdCalOn};
    for (QWidget *widget : painted)
        widget->installEventFilter(&counter);
    for (bool enabled : {false, true}) {
        counter.Paints.clear();
        w.SetDeviceControlsEnabled(enabled);
        for (QWidget *widget : painted)
            EXPECT_EQ(counter.Paints.value(widget), 1) << widget->objectName().toStdString() << enabled;
    }
}
