#pragma once
// The Setup dialog: serial port settings, the printed page header texts, the reply time-out, and a template
// loaded by hand. On OK it stores everything, writes the INI and offers to apply changed port settings.

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TElidedLabel;
class TRadioGroup;

class TSetupForm : public QDialog {
    Q_OBJECT
public:
    explicit TSetupForm(QWidget *owner);
    ~TSetupForm() override;

    // Called with the dialog after a template was loaded while no editor is open; the main window opens the editor.
    std::function<void(QObject *sender)> OnTemplateLoaded;

    void TplBtnClick();
    // Closing with OK stores the settings first.
    void done(int result) override;

    QLabel *Header1, *Header2, *Header3, *TimeoutLabel;
    TElidedLabel *PortDevice;   // the device behind the chosen port; each entry shows it as its tool tip
    QGroupBox *PortGroup, *LangGroup;
    QComboBox *PortCombo, *LanguageCombo;
    TRadioGroup *BaudGrp, *ParityGrp, *DataGrp, *StopGrp, *LevelGroup;
    QLineEdit *DefTplEd, *CustomerEd, *ModelEd, *SerNumEd;
    QPushButton *TplBtn, *OkBtn, *cancelBtn;
    QCheckBox *DebugCheck;

private:
    void buildControls();
    void FormCreate();
    void FormClose();
    // The number of the port list's entry that the combo box shows; 0 when its text is none of them.
    int PortNumber() const;
    void ShowPortDevice();
    // Level := 1 for "Basic", 99 for "Advanced"; unchanged when neither is chosen.
    void TakeLevel() const;
};

// The dialog while it runs, else nullptr.
extern TSetupForm *SetupForm;
