// The port combo of the window on a machine with several adapters: the open list says which
// port is which, the tooltip names the chosen one, and long paths show their end.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "tests/serial/FakeDeviceTree.h"

#include <QAbstractItemView>
#include <QStyledItemDelegate>
#include <gtest/gtest.h>

using namespace fake_devices;

namespace {

const QString ById = "/dev/serial/by-id/" + FtdiId;
const QString FtdiText = QStringLiteral("FT232R USB UART (0403:6001, A6008isP, latency timer 16 ms)");

QStringList Items(const TPortComboBox &combo)
{
    QStringList items;
    for (int i = 0; i < combo.count(); ++i)
        items << combo.itemText(i);
    return items;
}

struct PortDescriptions : ::testing::Test {
    FakeTree tree;
    TMessageRecorder boxes;
    TfrmMain window{nullptr, {ById, QStringLiteral("/dev/pts/77")}};

    void SetUp() override
    {
        BuildMachine(tree);
        window.ccbPort->SetDeviceRoot(tree.Root());
        window.ccbPortDropDown(); // the list is made anew as the user opens it
    }
};

} // namespace

TEST_F(PortDescriptions, OpenListShowsDescriptionsButItemsStayNames)
{
    TPortComboBox &combo = *window.ccbPort;
    EXPECT_EQ(Items(combo), QStringList({"ttyACM0", "ttyAMA0", "ttyS0", "ttyUSB0", "ttyUSB1", ById, "/dev/pts/77"}));
    EXPECT_EQ(combo.ListText(0), "ttyACM0 — Arduino (www.arduino.cc) (2341:0043, 75735323)");
    EXPECT_EQ(combo.ListText(1), "ttyAMA0 — uart-pl011");
    EXPECT_EQ(combo.ListText(2), "ttyS0 — 16550A UART (serial)");
    EXPECT_EQ(combo.ListText(3), "ttyUSB0 — " + FtdiText);
    EXPECT_EQ(combo.ListText(5), ById + " — " + FtdiText);
    EXPECT_EQ(combo.ListText(6), "/dev/pts/77"); // nothing known: the bare name

    // What the list paints is the description, and the list is wide enough for it.
    QStyleOptionViewItem option;
    option.initFrom(combo.view());
    option.font = combo.view()->font();
    const int needed = combo.view()->fontMetrics().horizontalAdvance(combo.ListText(3));
    EXPECT_GE(combo.view()->itemDelegate()->sizeHint(option, combo.model()->index(3, 0)).width(), needed);
    combo.showPopup();
    EXPECT_GE(combo.view()->width(), needed);
    combo.hidePopup();

    combo.setCurrentIndex(3);
    EXPECT_EQ(combo.Text(), "ttyUSB0");
    EXPECT_EQ(window.ChosenPort(), "ttyUSB0");
}

TEST_F(PortDescriptions, ToolTipAddsThePathAndDescriptionOfTheChosenPort)
{
    TPortComboBox &combo = *window.ccbPort;
    combo.setCurrentIndex(3);
    EXPECT_EQ(combo.toolTip(), "Выбор COM-порта\n/dev/ttyUSB0 — " + FtdiText);
    combo.setCurrentIndex(2);
    EXPECT_EQ(combo.toolTip(), QStringLiteral("Выбор COM-порта\n/dev/ttyS0 — 16550A UART (serial)"));
    combo.setCurrentIndex(5);
    EXPECT_EQ(combo.toolTip(), "Выбор COM-порта\n" + ById + " — " + FtdiText);
    combo.setCurrentIndex(6);
    EXPECT_EQ(combo.toolTip(), QStringLiteral("Выбор COM-порта\n/dev/pts/77"));
    combo.setCurrentIndex(-1);
    EXPECT_EQ(combo.toolTip(), QStringLiteral("Выбор COM-порта"));
}

TEST_F(PortDescriptions, LongPathShowsItsEnd)
{
    TPortComboBox &combo = *window.ccbPort;
    combo.setCurrentIndex(5);
    const QString shown = combo.ShownText();
    EXPECT_NE(shown, ById);
    EXPECT_TRUE(shown.startsWith(QChar(0x2026))) << qPrintable(shown);
    EXPECT_TRUE(ById.endsWith(shown.mid(1))) << qPrintable(shown);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("-port0")));
    EXPECT_LT(combo.fontMetrics().horizontalAdvance(shown), combo.width());
    EXPECT_FALSE(combo.grab().isNull()); // paints through the same text

    combo.setCurrentIndex(3);
    EXPECT_EQ(combo.ShownText(), "ttyUSB0");
}
