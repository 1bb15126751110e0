// The combo box bound to a port property.

#include "serial/ComPort.h"
#include "serial/ExceptionDisplay.h"
#include "serial/widgets/ComComboBox.h"
#include "tests/serial/PtyPair.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

namespace {
const QStringList Ports{QStringLiteral("ttyS0"), QStringLiteral("ttyS1"), QStringLiteral("ttyUSB0")};

/// A combo that lists Names as the machine's ports.
std::unique_ptr<TComComboBox> MakeCombo(const QStringList &Names = Ports)
{
    auto combo = std::make_unique<TComComboBox>();
    combo->ComSelect().SetPortLister([Names](QStringList &List) { List = Names; });
    return combo;
}

/// What a pick in the drop-down list does.
void Pick(TComComboBox &Combo, int Index)
{
    Combo.setCurrentIndex(Index);
    emit Combo.activated(Index);
}

TEST(ComComboBox, EnumerationItemsAndThePortsValue)
{
    TComPort port;
    auto combo = MakeCombo();
    EXPECT_FALSE(combo->isEditable());
    combo->SetComPort(&port);
    combo->SetComProperty(cpBaudRate);
    ASSERT_EQ(combo->count(), 16);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Custom"));
    EXPECT_EQ(combo->itemText(15), QStringLiteral("256000"));
    EXPECT_EQ(combo->currentIndex(), 7);
    EXPECT_EQ(combo->Text(), QStringLiteral("9600"));

    const std::pair<TComProperty, QStringList> lists[] = {
        {cpDataBits, {"5", "6", "7", "8"}},
        {cpStopBits, {"1", "1.5", "2"}},
        {cpParity, {"None", "Odd", "Even", "Mark", "Space"}},
        {cpFlowControl, {"Hardware", "Software", "None", "Custom"}},
        {cpNone, {}},
    };
    for (const auto &[property, texts] : lists) {
        combo->SetComProperty(property);
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i)
            shown << combo->itemText(i);
        EXPECT_EQ(shown, texts);
    }
    combo->SetComProperty(cpParity);
    EXPECT_EQ(combo->Text(), QStringLiteral("None"));
}

TEST(ComComboBox, PortNamesSelectTheBoundPortsNameOnlyWhenListed)
{
    TComPort port;
    port.SetPort(QStringLiteral("TTYS1"));
    auto combo = MakeCombo();
    combo->SetComPort(&port);
    combo->SetComProperty(cpPort);
    EXPECT_EQ(combo->Text(), QStringLiteral("ttyS1")); // found without regard to case

    port.SetPort(QStringLiteral("ttyACM9"));
    combo->UpdateSettings();
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(combo->Text(), QString());

    // Without a port the first item is selected.
    auto unbound = MakeCombo();
    unbound->SetComProperty(cpPort);
    EXPECT_EQ(unbound->Text(), QStringLiteral("ttyS0"));
}

TEST(ComComboBox, TextSetterSelectsListedItemsOnly)
{
    auto combo = MakeCombo();
    combo->SetComProperty(cpPort);
    combo->SetText(QStringLiteral("ttyusb0"));
    EXPECT_EQ(combo->Text(), QStringLiteral("ttyUSB0"));
    combo->SetText(QStringLiteral("COM1"));
    EXPECT_EQ(combo->Text(), QStringLiteral("ttyUSB0"));
}

TEST(ComComboBox, PicksReachThePortOnlyWithAutoApplyOrApplySettings)
{
    TComPort port;
    port.SetPort(QStringLiteral("ttyS0"));
    auto combo = MakeCombo();
    combo->SetComPort(&port);
    combo->SetComProperty(cpPort);
    QSignalSpy changed(combo.get(), &TComComboBox::Changed);

    Pick(*combo, 2);
    EXPECT_EQ(port.Port(), QStringLiteral("ttyS0"));
    EXPECT_EQ(changed.count(), 1);
    combo->ApplySettings();
    EXPECT_EQ(port.Port(), QStringLiteral("ttyUSB0"));

    combo->SetAutoApply(true);
    // A key press in the closed list is a pick, too; setting the selection in code is not.
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(combo.get(), &up);
    EXPECT_EQ(port.Port(), QStringLiteral("ttyS1"));
    combo->setCurrentIndex(0);
    EXPECT_EQ(port.Port(), QStringLiteral("ttyS1"));
    EXPECT_EQ(changed.count(), 2);

    // "Custom" changes the rate kind only.
    port.SetCustomBaudRate(250000);
    combo->SetComProperty(cpBaudRate);
    Pick(*combo, 0);
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 250000);
    combo->SetComProperty(cpFlowControl);
    Pick(*combo, 0);
    EXPECT_EQ(port.FlowControl().GetFlowControl(), fcHardware);
}

TEST(ComComboBox, ADestroyedPortIsForgotten)
{
    auto port = std::make_unique<TComPort>();
    port->SetPort(QStringLiteral("ttyS1"));
    auto combo = MakeCombo();
    combo->SetComPort(port.get());
    combo->SetComProperty(cpPort);
    combo->SetAutoApply(true);
    ASSERT_EQ(combo->currentIndex(), 1);
    port.reset();
    EXPECT_EQ(combo->ComPort(), nullptr);
    EXPECT_EQ(combo->currentIndex(), 0);
    Pick(*combo, 2); // nothing to reach
    EXPECT_EQ(combo->Text(), QStringLiteral("ttyUSB0"));

    // A port left for another no longer reaches the combo when destroyed.
    auto first = std::make_unique<TComPort>();
    TComPort second;
    combo->SetComPort(first.get());
    combo->SetComPort(&second);
    combo->SetText(QStringLiteral("ttyS1"));
    first.reset();
    EXPECT_EQ(combo->ComPort(), &second);
    EXPECT_EQ(combo->Text(), QStringLiteral("ttyS1"));
}

TEST(ComComboBox, NoPortsNoItemsAndTheNameStays)
{
    TComPort port;
    port.SetPort(QStringLiteral("ttyS0"));
    auto combo = MakeCombo({});
    combo->SetComPort(&port);
    combo->SetComProperty(cpPort);
    combo->SetAutoApply(true);
    EXPECT_EQ(combo->count(), 0);
    EXPECT_EQ(combo->Text(), QString());
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(combo.get(), &down); // nothing to pick
    EXPECT_EQ(port.Port(), QStringLiteral("ttyS0"));
}

TEST(ComComboBox, AFailedApplyIsShownAndNotReportedAsAChange)
{
    PtyPair pty;
    TComPort port;
    port.SetPort(pty.Slave());
    port.Open();
    auto combo = MakeCombo({pty.Slave(), QStringLiteral("/nonexistent/tty")});
    combo->SetComPort(&port);
    combo->SetComProperty(cpPort);
    combo->SetAutoApply(true);
    QStringList shown;
    SetExceptionDisplay([&](const QString &Message) { shown << Message; });
    QSignalSpy changed(combo.get(), &TComComboBox::Changed);

    Pick(*combo, 1);
    SetExceptionDisplay({});
    EXPECT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown.value(0).startsWith(ComErrorText(1))) << shown.value(0).toStdString();
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(port.Connected());

    // Called directly, the failure reaches the caller.
    port.SetPort(pty.Slave());
    port.Open();
    EXPECT_THROW(combo->Change(), EComPort);
}
} // namespace
