#pragma once
// The decimal value dialog for a 16-bit number that a template keeps in two entries, its low byte ("LSB") and
// its high byte ("MSB").

#include <QDialog>

#include <cstdint>

class QLineEdit;
class QPushButton;
class QSpinBox;
class QWidget;
class TTplEnt;

class TXSBForm : public QDialog {
    Q_OBJECT
public:
    explicit TXSBForm(QWidget *owner);

    void SetValue(uint16_t v);
    // 0 while the decimal field is empty.
    int32_t GetValue() const;
    // Shows the low and high byte of the value as "$HH".
    void ValEditChange();

    QSpinBox *ValEdit;
    QLineEdit *LSBEdit, *MSBEdit;
    QPushButton *OKBtn, *CancelBtn;
};

// Edits the 16-bit value of the pair the entry belongs to (its ByteOrder says which half it is) and, on OK,
// writes both bytes back with "$HH" texts. A pair without its other half is refused with "LSB not found" or
// "MSB not found". True when the entries were changed.
bool EditLsbMsb(QWidget *owner, TTplEnt &entry);
