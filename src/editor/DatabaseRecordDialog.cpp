#include "DatabaseRecordDialog.h"

#include "DialogLayout.h"
#include "common/Wrn.h"
#include "platform/Text.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/Guarded.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

QLineEdit *MakeEdit(QWidget *parent, int maxLength, bool upperCase)
{
    auto *edit = new QLineEdit(parent);
    edit->setMaxLength(maxLength);
    if (upperCase) {
        QObject::connect(edit, &QLineEdit::textEdited, edit, Guarded([edit] {
                             const QString upper = FromCp1252(UpperCase(ToCp1252(edit->text())));
                             if (upper == edit->text()) return;
                             const int cursor = edit->cursorPosition();
                             edit->setText(upper);
                             edit->setCursorPosition(cursor);
                         }));
    }
    return edit;
}

} // namespace

TDBEditForm::TDBEditForm(QWidget *owner) : QDialog(owner)
{
    setWindowTitle("Configuration data");
    DevEdit = MakeEdit(this, 10, true);
    SerEdit = MakeEdit(this, 10, true);
    Authedit = MakeEdit(this, 20, false);
    DescEdit = MakeEdit(this, 30, false);
    CfgList = new QListWidget(this);
    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    EscBtn = new QPushButton("Cancel", this);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setVerticalSpacing(4);
    const std::pair<const char *, QLineEdit *> fields[] = {
        {"Device", DevEdit}, {"Serial No.", SerEdit}, {"Author", Authedit}, {"Description", DescEdit}};
    int row = 0;
    for (const auto &[label, edit] : fields) {
        grid->addWidget(new QLabel(label, this), row, 0);
        grid->addWidget(edit, row++, 1);
    }
    grid->addWidget(new QLabel("Configuration", this), 0, 2);
    grid->addWidget(CfgList, 1, 2, row - 1, 1);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(OkBtn, QDialogButtonBox::AcceptRole);
    buttons->addButton(EscBtn, QDialogButtonBox::RejectRole);
    grid->addWidget(buttons, row, 0, 1, 3);

    connect(OkBtn, &QPushButton::clicked, this, Guarded([this] { OkBtnClick(); }));
    connect(EscBtn, &QPushButton::clicked, this, &QDialog::reject);
    FixDialogSize(*this, {354, 149});
    CenterOnScreen(*this);
}

void TDBEditForm::OkBtnClick()
{
    if (SerEdit->text().isEmpty()) return ShowWarning("Serial number required!");
    accept();
}
