#include "serial/widgets/ComComboBox.h"

#include "serial/ComPort.h"
#include "serial/ExceptionDisplay.h"

#include <QStringListModel>

TComComboBox::TComComboBox(QWidget *parent) : QComboBox(parent), FItems(new QStringListModel(this))
{
    setModel(FItems);
    FComSelect.SetItems(FItems);
    setEditable(false);
    // Only picks by the user count as a change. An exception must not unwind through Qt's
    // event dispatch, so it is shown here.
    connect(this, &QComboBox::activated, this, [this] {
        try {
            Change();
        } catch (...) {
            ShowCurrentException();
        }
    });
}

TComComboBox::~TComComboBox()
{
    disconnect(FPortWatch);
}

void TComComboBox::SetComPort(TCustomComPort *Port)
{
    if (Port == FComSelect.ComPort())
        return;
    disconnect(FPortWatch);
    FComSelect.SetComPort(Port);
    if (!Port)
        return;
    FPortWatch = connect(Port, &QObject::destroyed, this, &TComComboBox::PortDestroyed);
    UpdateSettings();
}

void TComComboBox::SetComProperty(TComProperty Value)
{
    FComSelect.SetComProperty(Value);
    if (count() == 0)
        return;
    if (!FComSelect.ComPort())
        setCurrentIndex(0);
    else
        UpdateSettings();
}

QString TComComboBox::Text() const
{
    return currentIndex() < 0 ? QString() : itemText(currentIndex());
}

void TComComboBox::SetText(const QString &Value)
{
    const QStringList items = FItems->stringList();
    for (int i = 0; i < items.size(); ++i)
        if (items[i].compare(Value, Qt::CaseInsensitive) == 0) {
            setCurrentIndex(i);
            return;
        }
}

void TComComboBox::UpdateSettings()
{
    int index = currentIndex();
    FComSelect.UpdateSettings(index);
    setCurrentIndex(index);
}

void TComComboBox::Change()
{
    FComSelect.Change(Text());
    emit Changed();
}

void TComComboBox::PortDestroyed()
{
    // The port is already half gone: only forget it.
    FPortWatch = {};
    FComSelect.SetComPort(nullptr);
    if (count() > 0)
        setCurrentIndex(0);
}
