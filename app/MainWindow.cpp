#include "app/MainWindow.h"

#include "app/Application.h"
#include "app/FieldFocus.h"
#include "app/GroupEnable.h"
#include "app/MessageBox.h"
#include "protocol/Connection.h"
#include "protocol/Exchange.h"
#include "protocol/SensorContext.h"
#include "protocol/Timer.h"
#include "serial/ComConvert.h"
#include "serial/ComPort.h"

#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QToolButton>

// Resources of a static library must be pulled in by name.
static void InitResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

constexpr int clientWidth = 499;
constexpr int clientHeight = 191;
constexpr int buttonWidth = 31;
constexpr int buttonHeight = 30;
constexpr int dividerWidth = 8;
constexpr int editX = 150;
constexpr int labelX = 8;

// Where Qt reads no SVG (the Windows build), each picture comes as PNGs rendered from its SVG.
bool SvgReadable()
{
    static const bool readable = QImageReader::supportedImageFormats().contains("svg");
    return readable;
}

QIcon ToolbarIcon(const char *themeName, const char *name)
{
    QIcon icon;
    if (SvgReadable()) {
        icon = QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
    } else {
        for (int size : {24, 48})
            icon.addFile(QStringLiteral(":/png/%1x%1/apps/%2.png").arg(size).arg(QLatin1String(name)));
    }
    return QIcon::fromTheme(QString::fromLatin1(themeName), icon);
}

QPixmap Banner()
{
    if (SvgReadable())
        return QIcon(QStringLiteral(":/images/banner.svg")).pixmap(480, 42);
    QIcon icon;
    for (const char *size : {"480x42", "960x84"})
        icon.addFile(QStringLiteral(":/png/%1/apps/banner.png").arg(QLatin1String(size)));
    return icon.pixmap(480, 42);
}

// The window is laid out for a narrow sans font; where a wider one stands in for it, a caption
// that would run under its neighbour gets a smaller size instead of being cut off.
void FitToWidth(QWidget *control, const QString &text, int width)
{
    QFont font = control->font();
    while (QFontMetrics(font).horizontalAdvance(text) > width && font.pixelSize() > 9)
        font.setPixelSize(font.pixelSize() - 1);
    control->setFont(font);
}

QLabel *AddLabel(QWidget *parent, const char *name, const char *text, int x, int y)
{
    auto *label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    return label;
}

struct TEditLayout {
    const char *Name;
    int Y;
    int Tag;
    const char *Text;
    bool DigitsOnly;
    bool ReadOnly;
    const char *Hint;
};

QLineEdit *AddEdit(QWidget *parent, const TEditLayout &layout)
{
    auto *edit = new QLineEdit(QString::fromUtf8(layout.Text), parent);
    edit->setObjectName(QString::fromLatin1(layout.Name));
    edit->setGeometry(editX, layout.Y, 66, 24);
    SetTag(edit, layout.Tag);
    edit->setReadOnly(layout.ReadOnly);
    edit->setToolTip(QString::fromUtf8(layout.Hint));
    if (layout.DigitsOnly)
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

QToolButton *AddToolButton(QWidget *bar, const char *name, const char *hint, const QIcon &icon, int tag, int x)
{
    auto *button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, 0, buttonWidth, buttonHeight);
    button->setToolTip(QString::fromUtf8(hint));
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus); // a toolbar click leaves the field the user is in
    SetTag(button, tag);
    return button;
}

void AddDivider(QWidget *bar, const char *name, int x)
{
    auto *divider = new QFrame(bar);
    divider->setObjectName(QString::fromLatin1(name));
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    divider->setGeometry(x, 2, dividerWidth, buttonHeight - 4);
}

// Group captions are bold, their contents are not. Captions left of the edit boxes must end
// before them, button captions inside their buttons.
void UseNormalFont(QGroupBox *group, QFont normal)
{
    normal.setBold(false); // stated outright, or the children would inherit the bold caption
    for (QWidget *child : group->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        child->setFont(normal);
        if (auto *label = qobject_cast<QLabel *>(child)) {
            if (label->x() < editX)
                FitToWidth(label, label->text(), editX - label->x() - 2);
            label->adjustSize();
        } else if (auto *button = qobject_cast<QPushButton *>(child)) {
            FitToWidth(button, button->text(), button->width() - 10);
        }
    }
}

} // namespace

TfrmMain::TfrmMain(QWidget *parent, const QStringList &CommandLinePorts)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint),
      FCommandLinePorts(CommandLinePorts)
{
    InitResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Level sensor configurator"));
    setFixedSize(clientWidth, clientHeight);
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setPixelSize(14);
    setFont(font);

    ilTBIcons = {ToolbarIcon("document-open", "open"), ToolbarIcon("document-save", "save"),
                 ToolbarIcon("go-up", "to-device"), ToolbarIcon("go-down", "from-device"),
                 ToolbarIcon("help-about", "about")};

    CreatePort();
    CreateToolbar();
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(278, 0, 480, 42);
    Image1->setPixmap(Banner());
    CreateWorkGroup();
    CreateCalibrationGroup();

    setTabOrder(ccbPort, txtInertWork);
    setTabOrder(txtInertWork, txtInpFlt);
    setTabOrder(txtInpFlt, txtHystWidth);
    setTabOrder(txtHystWidth, txtInertCalib);
    setTabOrder(txtInertCalib, txtCalTime);
    setTabOrder(txtCalTime, cmdCalOn);
    setTabOrder(cmdCalOn, txtCalOn);
    setTabOrder(txtCalOn, cmdCalOff);
    setTabOrder(cmdCalOff, txtCalOff);

    FFieldFocus = new TFieldFocus([this](QLineEdit *field) { limits_OnEnter(field); },
                                  [this](QLineEdit *field) { limits_OnExit(field); }, this);
    for (QLineEdit *field : {txtInertWork, txtInpFlt, txtHystWidth, txtInertCalib, txtCalTime})
        FFieldFocus->Watch(field);

    if (QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    SetMessageBoxOwner(this);
    // A store that cannot be read is reported, and the window opens all the same.
    RunHandler([this] { FormCreate(); });
    SelectCommandLinePort();
}

TfrmMain::~TfrmMain()
{
    SetMessageBoxOwner(nullptr);
}

void TfrmMain::CreatePort()
{
    cpCOM = new TComPort(this);
    // The store key and the ini section are named after the port object.
    cpCOM->setObjectName(QStringLiteral("cpCOM"));
    cpCOM->SetPort(QStringLiteral("COM1"));
    SetSensorLine(*cpCOM);
    cpCOM->SetStoredProps(TStoredProps{spBasic});

    tmrTimeout = new TTimer(this);
    tmrTimeout->setObjectName(QStringLiteral("tmrTimeout"));
    // The context handles the timer's ticks (tmrTimeoutTimer).
    FSensor = std::make_unique<TSensorContext>(*this);
}

void TfrmMain::ListPorts(QStringList &Ports) const
{
    Ports = ccbPort->MachinePorts();
    // Pseudo-terminals and other virtual lines are never enumerated; the user names them.
    for (const QString &port : FCommandLinePorts)
        if (!Ports.contains(port))
            Ports << port;
}

void TfrmMain::SelectCommandLinePort()
{
    if (FCommandLinePorts.isEmpty())
        return;
    const int index = ccbPort->findText(FCommandLinePorts.constFirst(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return;
    ccbPort->setCurrentIndex(index);
    cpCOM->SetPort(ccbPort->Text());
}

void TfrmMain::CreateToolbar()
{
    tlbToolbar = new QWidget(this);
    tlbToolbar->setObjectName(QStringLiteral("tlbToolbar"));
    tlbToolbar->setGeometry(0, 3, 277, 30);

    int x = 0;
    ToolButton1 = AddToolButton(tlbToolbar, "ToolButton1", "Открыть файл", ilTBIcons[0], 0, x);
    tbSave = AddToolButton(tlbToolbar, "tbSave", "Сохранить файл", ilTBIcons[1], 1, x += buttonWidth);
    AddDivider(tlbToolbar, "ToolButton3", x += buttonWidth);

    ccbPort = new TPortComboBox(tlbToolbar);
    ccbPort->setObjectName(QStringLiteral("ccbPort"));
    ccbPort->setGeometry(x += dividerWidth, (buttonHeight - 24) / 2, 97, 24);
    ccbPort->setToolTip(QStringLiteral("Выбор COM-порта"));
    ccbPort->ComSelect().SetPortLister([this](QStringList &ports) { ListPorts(ports); });
    ccbPort->SetComPort(cpCOM);
    ccbPort->SetComProperty(cpPort);
    ccbPort->SetAutoApply(true);
    ccbPort->SetText(QStringLiteral("COM1"));
    if (ccbPort->count() > 0)
        ccbPort->setCurrentIndex(0);
    ccbPort->OnDropDown = [this] { ccbPortDropDown(); };

    AddDivider(tlbToolbar, "ToolButton4", x += 97);
    tbUpload = AddToolButton(tlbToolbar, "tbUpload", "Выгрузить из устройства на ПК", ilTBIcons[3], 0, x += dividerWidth);
    tbDownload = AddToolButton(tlbToolbar, "tbDownload", "Загрузить с ПК в устройство", ilTBIcons[2], 0, x += buttonWidth);
    AddDivider(tlbToolbar, "ToolButton7", x += buttonWidth);
    tbAbout = AddToolButton(tlbToolbar, "tbAbout", "О программе", ilTBIcons[4], 1, x += dividerWidth);

    connect(ToolButton1, &QToolButton::clicked, this, [this] { RunHandler([this] { ToolButton1Click(); }); });
    connect(tbSave, &QToolButton::clicked, this, [this] { RunHandler([this] { tbSaveClick(); }); });
    connect(tbAbout, &QToolButton::clicked, this, [this] { RunHandler([this] { tbAboutClick(); }); });
    connect(tbUpload, &QToolButton::clicked, this, [this] { RunHandler([this] { tbUploadClick(); }); });
    connect(tbDownload, &QToolButton::clicked, this, [this] { RunHandler([this] { tbDownloadClick(); }); });
}

void TfrmMain::CreateWorkGroup()
{
    gbWork = new QGroupBox(QStringLiteral("Работа"), this);
    gbWork->setObjectName(QStringLiteral("gbWork"));
    gbWork->setGeometry(0, 45, 246, 140);
    QFont bold = font();
    bold.setBold(true);
    gbWork->setFont(bold);

    AddLabel(gbWork, "Label8", "Постоянная времени:", labelX, 38);
    txtInertWork = AddEdit(gbWork, {"txtInertWork", 34, 0, "25", true, false,
                                    "Постоянная времени инерционного звена входного фильтра в режиме нормальной работы."});
    AddLabel(gbWork, "Label9", "мс.", 219, 38);
    AddLabel(gbWork, "Label10", "Время переключения:", labelX, 65);
    txtInpFlt = AddEdit(gbWork, {"txtInpFlt", 61, 1, "100", true, false,
                                 "Минимальное время переключения выходного сигнала в режиме нормальной работы."});
    AddLabel(gbWork, "Label11", "мс.", 219, 65);
    AddLabel(gbWork, "Label12", "Ширина гистерезиса:", labelX, 92);
    txtHystWidth = AddEdit(gbWork, {"txtHystWidth", 88, 4, "5", false, false,
                                    "Ширина петли гистерезиса переключения в режиме нормальной работы, % от разницы "
                                    "между чувствительностью включения и выключения."});
    AddLabel(gbWork, "Label13", "%", 219, 92);
    UseNormalFont(gbWork, font());
}

void TfrmMain::CreateCalibrationGroup()
{
    gbCal = new QGroupBox(QStringLiteral("Калибровка"), this);
    gbCal->setObjectName(QStringLiteral("gbCal"));
    gbCal->setGeometry(249, 45, 248, 140);
    QFont bold = font();
    bold.setBold(true);
    gbCal->setFont(bold);

    const char *averagingHint = "Время усреднения сигнала в режиме калибровки";
    AddLabel(gbCal, "Label4", "Постоянная времени:", labelX, 22);
    txtInertCalib = AddEdit(gbCal, {"txtInertCalib", 18, 2, "100", true, false,
                                    "Постоянная времени инерционного звена входного фильтра в режиме калибровки."});
    AddLabel(gbCal, "Label14", "мс.", 220, 22);
    AddLabel(gbCal, "Label5", "Время усреднения:", labelX, 49);
    txtCalTime = AddEdit(gbCal, {"txtCalTime", 45, 3, "25000", true, false, averagingHint});
    AddLabel(gbCal, "Label15", "мс.", 220, 49);

    cmdCalOn = new QPushButton(QStringLiteral("Калибровка вкл."), gbCal);
    cmdCalOn->setObjectName(QStringLiteral("cmdCalOn"));
    cmdCalOn->setGeometry(3, 75, 126, 25);
    cmdCalOn->setToolTip(QStringLiteral("Запуск калибровки включенного состояния"));
    txtCalOn = AddEdit(gbCal, {"txtCalOn", 75, 0, "0", true, true, averagingHint});
    AddLabel(gbCal, "Label1", "ед.", 220, 79);

    cmdCalOff = new QPushButton(QStringLiteral("Калибровка выкл."), gbCal);
    cmdCalOff->setObjectName(QStringLiteral("cmdCalOff"));
    cmdCalOff->setGeometry(3, 106, 126, 25);
    cmdCalOff->setToolTip(QStringLiteral("Запуск калибровки выключенного состояния"));
    txtCalOff = AddEdit(gbCal, {"txtCalOff", 106, 0, "0", true, true, averagingHint});
    AddLabel(gbCal, "Label2", "ед.", 220, 110);
    UseNormalFont(gbCal, font());
    connect(cmdCalOn, &QPushButton::clicked, this, [this] { RunHandler([this] { cmdCalOnClick(); }); });
    connect(cmdCalOff, &QPushButton::clicked, this, [this] { RunHandler([this] { cmdCalOffClick(); }); });
}

QFileDialog *TfrmMain::CreateDialog(const char *name, QFileDialog::AcceptMode mode)
{
    auto *dialog = new QFileDialog(this);
    dialog->setObjectName(QLatin1String(name));
    dialog->setAcceptMode(mode);
    dialog->setFileMode(QFileDialog::AnyFile); // a missing file is reported when it is opened
    dialog->setDefaultSuffix(QStringLiteral("tqx"));
    dialog->setNameFilter(QStringLiteral("Файл настроек tqx (*.tqx)"));
    return dialog;
}

QFileDialog *TfrmMain::sdSave()
{
    if (!FSave)
        FSave = CreateDialog("sdSave", QFileDialog::AcceptSave);
    return FSave;
}

QFileDialog *TfrmMain::odOpen()
{
    if (!FOpen)
        FOpen = CreateDialog("odOpen", QFileDialog::AcceptOpen);
    return FOpen;
}

TSettingsFields TfrmMain::SettingsFields() const
{
    return {txtCalOn, txtCalOff, txtCalTime, txtInertCalib, txtInertWork, txtInpFlt, txtHystWidth};
}
