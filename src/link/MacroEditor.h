#pragma once
// The macro editor: a modal dialog that edits private copies of the terminal macros (named byte strings) and
// the Serial Start and Stop bytes, and stores them, with the INI, only on OK.

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class TByteLineEdit;

class TMacroForm : public QDialog {
    Q_OBJECT
public:
    // The opener fills the three byte lists and selects the Serial Start and Stop bytes.
    explicit TMacroForm(QWidget *parent = nullptr);

    // Keeps the edits of the row that was current and shows the selected one.
    void McListClick();
    void InsBtnClick();
    void DelBtnClick();
    // Back to the macros of the last OK.
    void DefBtnClick();
    void OkBtnClick();
    void InsertCmdChar(uint8_t b);
    // Selects the first row when none is selected.
    void FormActivate();

    QPushButton *InsBtn, *DelBtn, *DefBtn, *OkBtn, *CancelBtn;
    QListWidget *McList;
    QGroupBox *NameGroup, *CmdGroup, *StartGrp, *StopGrp;
    QLineEdit *NameEdit;   // refuses "=", which would end the name in the INI; OK checks the rest
    TByteLineEdit *CmdEdit;
    QComboBox *ChrCombo, *StartCombo, *StopCombo;

protected:
    bool event(QEvent *e) override;

private:
    void buildControls();
    void loadMacros();
    void showNames(int selected);
    // Every name that OK would store can be a key of its own in the INI; otherwise the first that cannot is
    // selected and the reason shown.
    bool NamesCanBeStored();

    std::vector<std::string> names_, values_;   // one entry per row of McList
    int current_ = -1;
};
