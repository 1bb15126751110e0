#pragma once
// The configurator's single window: toolbar, the "Работа" and "Калибровка" groups with the
// seven parameter fields, the serial port and its time-out timer, and the handlers of every
// button. It hosts the window's one sensor context, through which the protocol reaches them.

#include "app/PortComboBox.h"
#include "app/SettingsFile.h"
#include "protocol/Connection.h"

#include <QFileDialog>
#include <QIcon>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QCloseEvent;
class TComPort;
class TTimer;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TFieldFocus;
class TSensorContext;

/// Where the port settings are kept between runs.
extern const QString PortSettingsKey;

class TfrmMain : public QWidget, public TConnectionHost {
    Q_OBJECT
public:
    /// CommandLinePorts are offered in the port combo after the machine's ports; the first
    /// is selected once the stored port choice has been applied.
    explicit TfrmMain(QWidget *parent = nullptr, const QStringList &CommandLinePorts = {});
    ~TfrmMain() override;

    // Controls, named as in the window's description; the window owns them all.
    QWidget *tlbToolbar;
    QToolButton *ToolButton1; ///< open a settings file
    QToolButton *tbSave;
    TPortComboBox *ccbPort;
    QToolButton *tbUpload;    ///< read from the device
    QToolButton *tbDownload;  ///< write to the device
    QToolButton *tbAbout;
    QLabel *Image1;
    QGroupBox *gbWork;
    QGroupBox *gbCal;
    QLineEdit *txtInertWork;
    QLineEdit *txtInpFlt;
    QLineEdit *txtHystWidth;
    QLineEdit *txtInertCalib;
    QLineEdit *txtCalTime;
    QLineEdit *txtCalOn;
    QLineEdit *txtCalOff;
    QPushButton *cmdCalOn;
    QPushButton *cmdCalOff;
    /// The file dialogs, made on first use: building one reads icons and starts a model of
    /// the working folder, which is most of what the window would otherwise spend starting.
    QFileDialog *sdSave();
    QFileDialog *odOpen();
    std::array<QIcon, 5> ilTBIcons; ///< open, save, write to device, read from device, about
    TComPort *cpCOM;      ///< open only during a device connection
    TTimer *tmrTimeout;   ///< the transaction time-out

    /// The seven fields in settings-file order.
    TSettingsFields SettingsFields() const;

    // Event handlers.
    void FormCreate();
    void FormCloseQuery(QObject *Sender, bool &CanClose);
    void FormClose(QObject *Sender);
    void tbUploadClick();
    void tbDownloadClick();
    void cmdCalOnClick();
    void cmdCalOffClick();
    void ccbPortDropDown();
    void tbSaveClick();
    void ToolButton1Click();
    void tbAboutClick();
    void limits_OnEnter(QLineEdit *Sender);
    void limits_OnExit(QLineEdit *Sender);

    /// The sensor connection around a workflow; see protocol/Connection.h.
    int ConnectDevice();
    void DisconnectDevice();
    /// The conversation with the sensor that the window's workflows run in.
    TSensorContext &Sensor() const { return *FSensor; }

    // The window as the protocol sees it.
    TCustomComPort &ComPort() override;
    TTimer &TimeoutTimer() override;
    QString FieldText(TDeviceField field) const override;
    void SetFieldText(TDeviceField field, const QString &text) override;
    void ErrorBox(const QString &text, const QString &caption) override;
    QString ChosenPort() const override;
    void SetDeviceControlsEnabled(bool Enabled) override;
    void SetWaitCursor(bool Wait) override;
    void OpenFailedBox(const QString &Text, const QString &Caption, int Error) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void CreatePort();
    void ListPorts(QStringList &Ports) const;
    void SelectCommandLinePort();
    void RunWorkflow(const std::function<void()> &Commands);
    void RunCalibration(const std::function<void()> &Commands);
    QLineEdit *FieldEdit(TDeviceField field) const;
    void CreateToolbar();
    void CreateWorkGroup();
    void CreateCalibrationGroup();
    QFileDialog *CreateDialog(const char *name, QFileDialog::AcceptMode mode);
    QFileDialog *FSave = nullptr;
    QFileDialog *FOpen = nullptr;

    TFieldFocus *FFieldFocus;
    std::unique_ptr<TSensorContext> FSensor; ///< made once cpCOM and tmrTimeout exist
    QPointer<QWidget> FFocusBeforeLock;  ///< where the focus was when a connection began
    QPointer<QWidget> FFocusWhileLocked; ///< where disabling the controls moved it
    QStringList FCommandLinePorts;
};
