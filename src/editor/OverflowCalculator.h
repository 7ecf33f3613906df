#pragma once
// The overflow calculator: from the scanner's speed and geometry it works out the shortest and longest time a
// module of the code takes to pass, and lists the values of an overflow entry that lie between the two.

#include <QDialog>

#include <cstdint>

class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class TSpinButton;
class TTplEnt;

// Remembered for the whole program run by every opening of the window: the distances and the module width (in
// millimetres once calculated) and the scanner chosen last (-1 for none).
extern double OverMinCD;
extern double OverMaxCD;
extern double OverX;
extern int32_t OverScanner;

class TOverForm : public QDialog {
    Q_OBJECT
public:
    explicit TOverForm(QWidget *owner);

    // The entry the values come from: visible entry EntryIndex of page PageIndex of the program's template.
    int32_t PageIndex = -1;
    int32_t EntryIndex = -1;
    // Constants of the chosen scanner line.
    double K1 = 0, K2 = 0, K3 = 0, K4 = 0;

    // The value index stored with the selected item of TDList; -1 when none is selected.
    int32_t SelectedValueIndex() const;

    void ScanComboChange();
    void Recalc();
    void XSpinUpClick() { XSpinClick(true); }
    void XSpinDownClick() { XSpinClick(false); }
    void CDSpinUpClick(QLineEdit *edit) { CDSpinClick(edit, true); }
    void CDSpinDownClick(QLineEdit *edit) { CDSpinClick(edit, false); }
    void MMBtnClick() { SetUnit(false); }
    void INBtnClick() { SetUnit(true); }

    QGroupBox *ScannerGroup, *DistGroup, *BarGroup, *OFGroup, *UnitGrp;
    QLabel *ScanLabel, *MinUM, *MaxUM, *ModUM;
    QComboBox *ScanCombo;
    QLineEdit *NSEdit, *NMEdit, *MinCDEdit, *MaxCDEdit, *XEdit, *MinTDEdit, *MaxTDEdit;
    TSpinButton *MinCDSpin, *MaxCDSpin, *XSpin;
    QListWidget *TDList;   // each item carries its value index in Qt::UserRole
    QRadioButton *MMBtn, *INBtn;
    QPushButton *OkBtn, *CancelBtn;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void FormCreate();
    // Handles a key typed into one of the number edits; true when the key is consumed.
    bool FilterChar(QLineEdit *edit, const QKeyEvent &key);
    void XSpinClick(bool up);
    void CDSpinClick(QLineEdit *edit, bool up);
    void SetUnit(bool inches);
    void FillValueList(double minTD, double maxTD);
    const TTplEnt *Entry() const;

    bool activated_ = false;
};
