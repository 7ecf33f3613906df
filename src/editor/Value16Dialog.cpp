#include "Value16Dialog.h"

#include "DialogLayout.h"
#include "common/BsTypes.h"
#include "common/Wrn.h"
#include "model/TplEntry.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/Guarded.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

QString HexByteText(uint8_t b) { return QString("$%1").arg(b, 2, 16, QChar('0')).toUpper(); }

// A decimal field whose empty text is a valid entry that stands for 0, so that it is not put back to the last
// number when the field loses the focus or Enter is pressed.
class TDecimalEdit : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString &text, int &pos) const override
    {
        return text.trimmed().isEmpty() ? QValidator::Acceptable : QSpinBox::validate(text, pos);
    }
    int valueFromText(const QString &text) const override
    {
        return text.trimmed().isEmpty() ? 0 : QSpinBox::valueFromText(text);
    }
};

void SetByte(TTplEnt &entry, uint8_t b)
{
    entry.Value = b;
    entry.ValueText = ToCp1252(HexByteText(b));
}

} // namespace

TXSBForm::TXSBForm(QWidget *owner) : QDialog(owner)
{
    setWindowTitle("Decimal value");
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    ValEdit = new TDecimalEdit;
    ValEdit->setRange(0, 65535);
    ValEdit->setValue(0);
    ValEdit->findChild<QLineEdit *>()->setMaxLength(5);
    LSBEdit = new QLineEdit("$00");
    MSBEdit = new QLineEdit("$00");
    LSBEdit->setEnabled(false);
    MSBEdit->setEnabled(false);
    OKBtn = new QPushButton("OK");
    CancelBtn = new QPushButton("Cancel");
    OKBtn->setDefault(true);

    auto *layout = new QGridLayout(this);
    layout->addWidget(new QLabel("Decimal value"), 0, 0);
    layout->addWidget(ValEdit, 1, 0);
    layout->addWidget(new QLabel("LSB"), 0, 1);
    layout->addWidget(LSBEdit, 1, 1);
    layout->addWidget(new QLabel("MSB"), 0, 2);
    layout->addWidget(MSBEdit, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons, 2, 0, 1, 3);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);

    connect(ValEdit, &QSpinBox::textChanged, this, Guarded([this] { ValEditChange(); }));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    for (QLineEdit *edit : {LSBEdit, MSBEdit}) edit->setFixedWidth(40);
    for (QPushButton *button : {OKBtn, CancelBtn}) button->setMinimumWidth(60);
    FixDialogSize(*this, {209, 99});
    CenterOnScreen(*this);
}

void TXSBForm::SetValue(uint16_t v) { ValEdit->setValue(v); }

int32_t TXSBForm::GetValue() const
{
    return ValEdit->cleanText().isEmpty() ? 0 : ValEdit->value();
}

void TXSBForm::ValEditChange()
{
    const auto v = uint16_t(GetValue());
    LSBEdit->setText(HexByteText(uint8_t(v & 0xFF)));
    MSBEdit->setText(HexByteText(uint8_t(v >> 8)));
}

bool EditLsbMsb(QWidget *owner, TTplEnt &entry)
{
    TTplEnt *lsb = entry.ByteOrder == 2 ? entry.Prev() : &entry;
    TTplEnt *msb = entry.ByteOrder == 2 ? &entry : entry.Next();
    if (!lsb) {
        ShowWarning("LSB not found");
        return false;
    }
    if (!msb) {
        ShowWarning("MSB not found");
        return false;
    }
    TXSBForm form(owner);
    form.setWindowTitle(FromCp1252(StrBefore(lsb->Name.str(), "LSB")));
    form.SetValue(uint16_t(msb->Value * 256 + lsb->Value));
    if (form.exec() != QDialog::Accepted) return false;
    const auto v = uint16_t(form.GetValue());
    SetByte(*lsb, uint8_t(v & 0xFF));
    SetByte(*msb, uint8_t(v >> 8));
    return true;
}
