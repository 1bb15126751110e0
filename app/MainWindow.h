#pragma once
// The configurator's single window: toolbar, the "Работа" and "Калибровка" groups with the
// seven parameter fields, and the handlers of the file and About buttons.

#include "app/SettingsFile.h"

#include <QIcon>
#include <QWidget>
#include <array>

class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TFieldFocus;

class TfrmMain : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    // Controls, named as in the window's description; the window owns them all.
    QWidget *tlbToolbar;
    QToolButton *ToolButton1; ///< open a settings file
    QToolButton *tbSave;
    QComboBox *ccbPort;
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
    QFileDialog *sdSave;
    QFileDialog *odOpen;
    std::array<QIcon, 5> ilTBIcons; ///< open, save, write to device, read from device, about

    /// The seven fields in settings-file order.
    TSettingsFields SettingsFields() const;

    // Event handlers.
    void FormCreate();
    void tbSaveClick();
    void ToolButton1Click();
    void tbAboutClick();
    void limits_OnEnter(QLineEdit *Sender);
    void limits_OnExit(QLineEdit *Sender);

private:
    void CreateToolbar();
    void CreateWorkGroup();
    void CreateCalibrationGroup();
    void CreateDialogs();

    TFieldFocus *FFieldFocus;
};
