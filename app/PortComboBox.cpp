#include "app/PortComboBox.h"

#include "app/Application.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QStylePainter>

namespace {

const QString BaseToolTip = QStringLiteral("Выбор COM-порта");
const QString Dash = QStringLiteral(" — ");

/// Paints each item of the open list with its description.
class TPortListDelegate : public QStyledItemDelegate {
public:
    explicit TPortListDelegate(TPortComboBox *Combo) : QStyledItemDelegate(Combo), FCombo(Combo) {}

protected:
    void initStyleOption(QStyleOptionViewItem *Option, const QModelIndex &Index) const override
    {
        QStyledItemDelegate::initStyleOption(Option, Index);
        Option->text = FCombo->ListText(Index.row());
    }

private:
    TPortComboBox *FCombo;
};

} // namespace

TPortComboBox::TPortComboBox(QWidget *parent) : TComComboBox(parent)
{
    setItemDelegate(new TPortListDelegate(this));
    setToolTip(BaseToolTip);
    connect(this, &QComboBox::currentTextChanged, this, &TPortComboBox::UpdateToolTip);
}

QStringList TPortComboBox::MachinePorts()
{
    FPortInfos = ComPortInfos(FDeviceRoot);
    QStringList names;
    for (const TComPortInfo &p : FPortInfos)
        names << p.Name;
    UpdateToolTip();
    return names;
}

QString TPortComboBox::Description(const QString &Port) const
{
    const TComPortInfo *info = FindComPortInfo(FPortInfos, Port);
    return info ? ComPortDescription(*info) : QString();
}

QString TPortComboBox::ListText(int Index) const
{
    const QString name = itemText(Index);
    const QString description = Description(name);
    return description.isEmpty() ? name : name + Dash + description;
}

QString TPortComboBox::ShownText() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    // The device's own name is at the end of a path: keep that end in sight.
    return fontMetrics().elidedText(Text(), Qt::ElideLeft, field.width() - 2);
}

void TPortComboBox::UpdateToolTip()
{
    const QString port = Text();
    if (port.isEmpty()) {
        setToolTip(BaseToolTip);
        return;
    }
    const QString description = Description(port);
    setToolTip(BaseToolTip + QLatin1Char('\n') + ComDevicePath(port)
               + (description.isEmpty() ? QString() : Dash + description));
}

void TPortComboBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = ShownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void TPortComboBox::showPopup()
{
    if (OnDropDown)
        RunHandler(OnDropDown);
    // Descriptions are longer than the box: the list takes the room they need.
    int width = 0;
    for (int i = 0; i < count(); ++i)
        width = std::max(width, view()->sizeHintForIndex(model()->index(i, modelColumn())).width());
    view()->setMinimumWidth(width + view()->verticalScrollBar()->sizeHint().width());
    TComComboBox::showPopup();
}
