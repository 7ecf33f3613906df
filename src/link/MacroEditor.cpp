#include "MacroEditor.h"

#include "ByteLineEdit.h"
#include "common/BsTypes.h"
#include "common/Wrn.h"
#include "model/Edition.h"
#include "model/Settings.h"
#include "platform/Text.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/DesignSize.h"
#include "platform/qt/Guarded.h"
#include "platform/qt/ScreenPlacement.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char *const kUnnamed = "...";

QPushButton *button(const char *caption, const char *hint = "")
{
    auto *b = new QPushButton(caption);
    b->setToolTip(hint);
    b->setAutoDefault(false);
    ShrinkableToText(*b);
    return b;
}

QGroupBox *groupOf(const char *title, QWidget *content)
{
    auto *group = new QGroupBox(title);
    auto *layout = new QVBoxLayout(group);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->addWidget(content);
    return group;
}

} // namespace

TMacroForm::TMacroForm(QWidget *parent) : QDialog(parent)
{
    setWindowTitle("Macro Editor");
    buildControls();
    if (EditionCode == 2) {
        StartGrp->setTitle("ASCII Start");
        StopGrp->setTitle("ASCII Stop");
    }
    loadMacros();
    FixDialogSize(*this, {367, 201});
    CenterOnScreen(*this);
}

void TMacroForm::buildControls()
{
    InsBtn = button("&New", "New macro");
    DelBtn = button("&Del", "Delete macro");
    DefBtn = button("D&ef", "Defaults");
    OkBtn = button("&Ok");
    OkBtn->setDefault(true);
    CancelBtn = button("&Cancel");
    McList = new QListWidget;
    NameEdit = new QLineEdit;
    NameEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^=]*")), NameEdit));
    NameGroup = groupOf("Name", NameEdit);
    CmdEdit = new TByteLineEdit(TByteLineEdit::TKeys::Macro);
    ChrCombo = new QComboBox;
    CmdGroup = new QGroupBox("Command");
    auto *cmd = new QGridLayout(CmdGroup);
    cmd->setContentsMargins(4, 2, 4, 4);
    cmd->setSpacing(3);
    cmd->addWidget(CmdEdit, 0, 0, 1, 2);
    cmd->addWidget(new QLabel("Special chars"), 1, 0);
    cmd->addWidget(ChrCombo, 1, 1);
    StartCombo = new QComboBox;
    StopCombo = new QComboBox;
    StartGrp = groupOf("Serial Start", StartCombo);
    StopGrp = groupOf("Serial Stop", StopCombo);

    auto *rowButtons = new QHBoxLayout;
    for (QPushButton *b : {InsBtn, DelBtn, DefBtn}) rowButtons->addWidget(b);
    auto *closing = new QHBoxLayout;
    closing->addWidget(OkBtn);
    closing->addWidget(CancelBtn);
    auto *left = new QVBoxLayout;
    left->addLayout(rowButtons);
    left->addWidget(McList, 1);
    left->addLayout(closing);
    auto *serial = new QHBoxLayout;
    serial->addWidget(StartGrp);
    serial->addWidget(StopGrp);
    auto *right = new QVBoxLayout;
    right->addWidget(NameGroup);
    right->addWidget(CmdGroup);
    right->addLayout(serial);
    right->addStretch();
    // The byte lists are as wide as their longest name, not their longest item.
    for (QComboBox *combo : {ChrCombo, StartCombo, StopCombo}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(7);
    }
    McList->setMinimumWidth(1);
    for (QBoxLayout *box : {static_cast<QBoxLayout *>(rowButtons), static_cast<QBoxLayout *>(left),
                            static_cast<QBoxLayout *>(serial), static_cast<QBoxLayout *>(closing),
                            static_cast<QBoxLayout *>(right)})
        box->setSpacing(3);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addLayout(left, 2);
    layout->addLayout(right, 3);

    connect(McList, &QListWidget::currentRowChanged, this, Guarded([this] { McListClick(); }));
    connect(InsBtn, &QPushButton::clicked, this, Guarded([this] { InsBtnClick(); }));
    connect(DelBtn, &QPushButton::clicked, this, Guarded([this] { DelBtnClick(); }));
    connect(DefBtn, &QPushButton::clicked, this, Guarded([this] { DefBtnClick(); }));
    connect(OkBtn, &QPushButton::clicked, this, Guarded([this] { OkBtnClick(); }));
    connect(CancelBtn, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    connect(ChrCombo, &QComboBox::activated, this, Guarded([this] {
        if (ChrCombo->currentIndex() >= 0) InsertCmdChar(uint8_t(ChrCombo->currentIndex()));
    }));
}

bool TMacroForm::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate) ReportErrors([this] { FormActivate(); });
    return QDialog::event(e);
}

void TMacroForm::loadMacros()
{
    names_.clear();
    values_.clear();
    for (const std::string &line : Settings.TermMacroList) {
        names_.push_back(line.find('=') == std::string::npos ? line : StrBefore(line, "="));
        values_.push_back(StrAfter(line, "="));
    }
    current_ = -1;
    showNames(-1);
}

void TMacroForm::showNames(int selected)
{
    const QSignalBlocker quiet(McList);
    McList->clear();
    for (const std::string &name : names_) McList->addItem(FromCp1252(name));
    McList->setCurrentRow(selected);
}

void TMacroForm::FormActivate()
{
    if (McList->currentRow() >= 0 || McList->count() == 0) return;
    {
        const QSignalBlocker quiet(McList);
        McList->setCurrentRow(0);
    }
    McListClick();
}

void TMacroForm::McListClick()
{
    const int selected = McList->currentRow();
    if (current_ >= 0 && std::size_t(current_) < names_.size()) {
        names_[std::size_t(current_)] = ToCp1252(NameEdit->text());
        values_[std::size_t(current_)] = CmdEdit->Bytes();
        showNames(selected);
    }
    if (selected < 0) {
        CmdEdit->SetBytes("");
        NameEdit->clear();
    } else {
        CmdEdit->SetBytes(values_[std::size_t(selected)]);
        NameEdit->setText(FromCp1252(names_[std::size_t(selected)]));
    }
    current_ = selected;
}

void TMacroForm::InsBtnClick()
{
    names_.push_back(kUnnamed);
    values_.emplace_back();
    {
        const QSignalBlocker quiet(McList);
        McList->addItem(kUnnamed);
        McList->setCurrentRow(McList->count() - 1);
    }
    McListClick();
}

void TMacroForm::DelBtnClick()
{
    const int selected = McList->currentRow();
    if (selected < 0) return;
    names_.erase(names_.begin() + selected);
    values_.erase(values_.begin() + selected);
    {
        const QSignalBlocker quiet(McList);
        delete McList->takeItem(selected);
        McList->setCurrentRow(-1);
    }
    current_ = -1;
    McListClick();
}

void TMacroForm::DefBtnClick()
{
    loadMacros();
    McListClick();
}

void TMacroForm::InsertCmdChar(uint8_t b)
{
    CmdEdit->InsertByte(b);
    CmdEdit->setFocus();
}

bool TMacroForm::NamesCanBeStored()
{
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (names_[i].empty() || names_[i] == kUnnamed) continue;
        std::string fault = MacroNameFault(names_[i]);
        // A name may come as often as the INI held it: names outside Windows-1252 can read the same there.
        const auto named = [&](const std::string &name) { return SameText(name, names_[i]); };
        const auto held = std::count_if(Settings.TermMacroList.begin(), Settings.TermMacroList.end(),
                                        [&](const std::string &line) { return named(StrBefore(line, "=")); });
        const auto earlier = std::count_if(names_.begin(), names_.begin() + std::ptrdiff_t(i), named);
        if (fault.empty() && earlier >= std::max<std::ptrdiff_t>(held, 1))
            fault = "Two macros are named \"" + names_[i] + "\": names must differ in more than case.";
        if (fault.empty()) continue;
        {
            const QSignalBlocker quiet(McList);
            McList->setCurrentRow(int(i));
        }
        McListClick();
        NameEdit->setFocus();
        ShowWarning(fault);
        return false;
    }
    return true;
}

void TMacroForm::OkBtnClick()
{
    McListClick();
    if (!NamesCanBeStored()) return;
    Settings.TermMacroList.clear();
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (!names_[i].empty() && names_[i] != kUnnamed) Settings.TermMacroList.push_back(names_[i] + "=" + values_[i]);
    SortTermMacros();
    if (StartCombo->currentIndex() >= 0) Settings.SerialStart = uint8_t(StartCombo->currentIndex());
    if (StopCombo->currentIndex() >= 0) Settings.SerialStop = uint8_t(StopCombo->currentIndex());
    SaveSettings();
    accept();
}
