#include "OverflowCalculator.h"

#include "DialogLayout.h"
#include "SpinButton.h"
#include "common/BsTypes.h"
#include "model/Edition.h"
#include "model/Settings.h"
#include "model/Template.h"
#include "platform/Text.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/Guarded.h"
#include "platform/qt/RadioTabStop.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>
#include <optional>

double OverMinCD = 0;
double OverMaxCD = 0;
double OverX = 0;
int32_t OverScanner = -1;

namespace {

constexpr double kMmPerInch = 25.41;
const char *const kMicroSeconds = " \xB5s";   // a blank, the micro sign and "s"

std::string textOf(const QLineEdit *edit) { return ToCp1252(edit->text()); }
void setText(QLineEdit *edit, const std::string &text) { edit->setText(FromCp1252(text)); }

// One spin step on the grid of `step`s: up to the step above the one at or below x, down to the step below x;
// nothing for a step down from 0 or less. `reach` is the length of a step in steps.
std::optional<double> SpinStep(double x, double step, double reach, bool up)
{
    if (up) return std::trunc(x / step + reach) * step;
    if (x > 0) return double(RoundUp(x / step - reach)) * step;
    return std::nullopt;
}

} // namespace

TOverForm::TOverForm(QWidget *owner) : QDialog(owner)
{
    buildControls();
    FormCreate();
    FixDialogSize(*this, {308, 207});   // with the scanner types listed
    CenterOnScreen(*this);
}

void TOverForm::buildControls()
{
    setWindowTitle("Overflow value determination");
    QFont designFont = font();   // the design's 8 point form font, so the controls fit its client area
    designFont.setPointSize(8);
    setFont(designFont);
    auto *layout = new QGridLayout(this);

    auto numberEdit = [this](bool readOnly = false) {
        auto *edit = new QLineEdit;
        edit->setReadOnly(readOnly);
        edit->installEventFilter(this);
        return edit;
    };

    ScannerGroup = new QGroupBox("Scanner Params");
    auto *scanner = new QGridLayout(ScannerGroup);
    ScanLabel = new QLabel("Scanner Type");
    ScanCombo = new QComboBox;
    NSEdit = numberEdit();
    NMEdit = numberEdit();
    scanner->addWidget(ScanLabel, 0, 0);
    scanner->addWidget(ScanCombo, 0, 1);
    scanner->addWidget(new QLabel("Scans per second"), 1, 0);
    scanner->addWidget(NSEdit, 1, 1);
    scanner->addWidget(new QLabel("Number of mirrors"), 2, 0);
    scanner->addWidget(NMEdit, 2, 1);

    DistGroup = new QGroupBox("Distance of the code");
    auto *dist = new QGridLayout(DistGroup);
    MinCDEdit = numberEdit();
    MaxCDEdit = numberEdit();
    MinCDSpin = new TSpinButton(MinCDEdit);
    MaxCDSpin = new TSpinButton(MaxCDEdit);
    MinUM = new QLabel("mm");
    MaxUM = new QLabel("mm");
    dist->addWidget(new QLabel("Minimum"), 0, 0);
    dist->addWidget(MinCDEdit, 0, 1);
    dist->addWidget(MinCDSpin, 0, 2);
    dist->addWidget(MinUM, 0, 3);
    dist->addWidget(new QLabel("Maximum"), 1, 0);
    dist->addWidget(MaxCDEdit, 1, 1);
    dist->addWidget(MaxCDSpin, 1, 2);
    dist->addWidget(MaxUM, 1, 3);

    BarGroup = new QGroupBox("Module");
    auto *bar = new QGridLayout(BarGroup);
    XEdit = numberEdit();
    XSpin = new TSpinButton(XEdit);
    ModUM = new QLabel("mm");
    bar->addWidget(new QLabel("Width"), 0, 0);
    bar->addWidget(XEdit, 0, 1);
    bar->addWidget(XSpin, 0, 2);
    bar->addWidget(ModUM, 0, 3);

    OFGroup = new QGroupBox("Overflow");
    QPalette red = OFGroup->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    OFGroup->setPalette(red);
    OFGroup->installEventFilter(this);
    auto *of = new QGridLayout(OFGroup);
    MinTDEdit = numberEdit(true);
    MaxTDEdit = numberEdit(true);
    TDList = new QListWidget;
    of->addWidget(new QLabel("Min"), 0, 0);
    of->addWidget(MinTDEdit, 0, 1);
    of->addWidget(new QLabel("Max"), 1, 0);
    of->addWidget(MaxTDEdit, 1, 1);
    of->addWidget(TDList, 2, 0, 1, 2);

    UnitGrp = new QGroupBox;
    auto *units = new QVBoxLayout(UnitGrp);
    MMBtn = new QRadioButton("Millimeters");
    INBtn = new QRadioButton("Inches");
    MMBtn->setChecked(true);
    units->addWidget(MMBtn);
    units->addWidget(INBtn);
    MakeOneTabStop({MMBtn, INBtn});

    OkBtn = new QPushButton("OK");
    CancelBtn = new QPushButton("Cancel");
    OkBtn->setDefault(true);

    // Two columns in the design's small client area: the inputs on the left; the results, the unit and the
    // buttons on the right.
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(2);
    for (QGroupBox *group : {ScannerGroup, DistGroup, BarGroup, OFGroup, UnitGrp}) {
        group->layout()->setContentsMargins(4, 0, 4, 2);
        group->layout()->setSpacing(1);
    }
    for (QLineEdit *edit : {NSEdit, NMEdit, MinCDEdit, MaxCDEdit, XEdit, MinTDEdit, MaxTDEdit}) edit->setFixedSize(50, 18);
    ScanCombo->setFixedHeight(18);
    ScanCombo->setMinimumWidth(50);
    for (QPushButton *button : {OkBtn, CancelBtn}) {
        button->setMinimumWidth(60);
        button->setFixedHeight(23);
    }
    TDList->setMinimumHeight(20);
    layout->addWidget(ScannerGroup, 0, 0);
    layout->addWidget(DistGroup, 1, 0);
    layout->addWidget(BarGroup, 2, 0);
    layout->addWidget(OFGroup, 0, 1);
    layout->addWidget(UnitGrp, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(3);
    buttons->addWidget(OkBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons, 2, 1, Qt::AlignBottom);

    connect(ScanCombo, &QComboBox::activated, this, Guarded([this] { ScanComboChange(); }));
    for (QLineEdit *edit : {NSEdit, NMEdit, MinCDEdit, MaxCDEdit, XEdit, MinTDEdit, MaxTDEdit})
        connect(edit, &QLineEdit::editingFinished, this, Guarded([this] { Recalc(); }));
    connect(XSpin, &TSpinButton::UpClick, this, Guarded([this] { XSpinUpClick(); }));
    connect(XSpin, &TSpinButton::DownClick, this, Guarded([this] { XSpinDownClick(); }));
    connect(MinCDSpin, &TSpinButton::UpClick, this, Guarded([this] { CDSpinUpClick(MinCDEdit); }));
    connect(MinCDSpin, &TSpinButton::DownClick, this, Guarded([this] { CDSpinDownClick(MinCDEdit); }));
    connect(MaxCDSpin, &TSpinButton::UpClick, this, Guarded([this] { CDSpinUpClick(MaxCDEdit); }));
    connect(MaxCDSpin, &TSpinButton::DownClick, this, Guarded([this] { CDSpinDownClick(MaxCDEdit); }));
    // A unit button acts when it becomes checked, whether by a click or by the program.
    connect(MMBtn, &QRadioButton::toggled, this, Guarded([this] {
        if (MMBtn->isChecked()) MMBtnClick();
    }));
    connect(INBtn, &QRadioButton::toggled, this, Guarded([this] {
        if (INBtn->isChecked()) INBtnClick();
    }));
    connect(TDList, &QListWidget::itemSelectionChanged, this, Guarded([this] {
        OkBtn->setEnabled(!TDList->selectedItems().isEmpty());
    }));
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TOverForm::FormCreate()
{
    if (EditionCode == 2) {
        ScannerGroup->setTitle("Reader Params");
        ScanLabel->setText("Reader Type");
        BarGroup->setTitle("Narrow Bar");
        DistGroup->setTitle("Reading distance");
    }
    for (const std::string &line : Settings.OverflowList) ScanCombo->addItem(FromCp1252(StrBefore(line, "=")));
    ScanCombo->setMinimumWidth(std::max(ScanCombo->minimumWidth(), ScanCombo->sizeHint().width()));
    setText(MinCDEdit, RealToStr(OverMinCD, 0, true));
    setText(MaxCDEdit, RealToStr(OverMaxCD, 0, true));
    setText(XEdit, RealToStr(OverX, 1, true));
    ScanCombo->setCurrentIndex(OverScanner < ScanCombo->count() ? OverScanner : -1);
    ScanComboChange();
    if (Settings.Inches) INBtn->setChecked(true);   // runs INBtnClick
    // The scanner named like the connected reader wins over the one chosen last.
    for (int i = 0; i < ScanCombo->count(); ++i) {
        if (SameText(ToCp1252(ScanCombo->itemText(i)), Settings.ModelName)) {
            ScanCombo->setCurrentIndex(i);
            ScanComboChange();
            break;
        }
    }
}

void TOverForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (activated_) return;
    activated_ = true;
    ReportErrors([this] { Recalc(); });
}

int32_t TOverForm::SelectedValueIndex() const
{
    const QList<QListWidgetItem *> selected = TDList->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->data(Qt::UserRole).toInt();
}

void TOverForm::ScanComboChange()
{
    const int i = ScanCombo->currentIndex();
    if (i >= 0 && i < int(Settings.OverflowList.size())) {
        std::string rest = StrAfter(Settings.OverflowList[std::size_t(i)], "=") + ",";
        setText(NSEdit, SplitStr(rest, kShortMax, ","));
        setText(NMEdit, SplitStr(rest, kShortMax, ","));
        for (double *k : {&K1, &K2, &K3, &K4}) *k = StrToRealDef(SplitStr(rest, kShortMax, ","), 0);
    } else {
        NSEdit->clear();
        NMEdit->clear();
    }
    OverScanner = i;
    Recalc();
}

void TOverForm::Recalc()
{
    const int32_t ns = StrToIntDef(textOf(NSEdit), 0);
    const int32_t nm = StrToIntDef(textOf(NMEdit), 0);
    OverMinCD = StrToRealDef(textOf(MinCDEdit), 0);
    OverMaxCD = StrToRealDef(textOf(MaxCDEdit), 0);
    OverX = StrToRealDef(textOf(XEdit), 0);
    if (OverMaxCD < OverMinCD) {
        OverMaxCD = OverMinCD;
        setText(MaxCDEdit, RealToStr(OverMinCD, 2, true));
    }
    // In inch mode the edits hold inches and mils.
    if (Settings.Inches) {
        OverX = kMmPerInch * OverX / 1000;
        OverMinCD = kMmPerInch * OverMinCD;
        OverMaxCD = kMmPerInch * OverMaxCD;
    }
    // K2 is a distance offset: 0 is a valid constant (a scanner line "S=1000,1,1,0,1,2" gives results).
    const bool valid = ns > 0 && nm > 0 && K1 > 0 && K2 >= 0 && K3 > 0 && K4 > 0 && OverMinCD > 0 && OverMaxCD > 0 &&
                       OverX > 0;
    if (!valid) {
        MinTDEdit->setText("?");
        MaxTDEdit->setText("?");
    } else {
        const double m = double(ns) / nm;
        const double a = m * K1 * (OverMinCD + K2);
        const double minTD = K3 * OverX * (1 / a) * 1000000;
        const double b = m * K1 * (OverMaxCD + K2);
        const double maxTD = K4 * OverX * (1 / b) * 1000000;
        setText(MinTDEdit, RealToStr(minTD, 1, false) + kMicroSeconds);
        setText(MaxTDEdit, RealToStr(maxTD, 1, false) + kMicroSeconds);
        FillValueList(minTD, maxTD);
    }
    OkBtn->setEnabled(!TDList->selectedItems().isEmpty());
}

const TTplEnt *TOverForm::Entry() const
{
    // The editor may hand over a row that is not (or no longer) an entry of the page.
    if (!Template || PageIndex < 0 || PageIndex >= Template->PageCount()) return nullptr;
    const TTplPag &page = Template->Pages(PageIndex);
    if (EntryIndex < 0 || EntryIndex >= page.VisibleCount()) return nullptr;
    return &page.Visible(EntryIndex);
}

void TOverForm::FillValueList(double minTD, double maxTD)
{
    TDList->clear();
    const TTplEnt *entry = Entry();
    if (!entry) return;
    for (int32_t i = 0; i < entry->ValueCount(); ++i) {
        TTplValueInfo info;
        entry->GetValueInfo(i, info);
        const std::string text = Trim(StrBefore(info.Name.str(), "\xB5"));
        const double v = StrToRealDef(text, 0);
        if (minTD <= v && v <= maxTD) {
            auto *item = new QListWidgetItem(FromCp1252(text + kMicroSeconds), TDList);
            item->setData(Qt::UserRole, i);
        }
    }
}

bool TOverForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        for (QLineEdit *edit : {NSEdit, NMEdit, MinCDEdit, MaxCDEdit, XEdit, MinTDEdit, MaxTDEdit}) {
            if (watched != edit) continue;
            bool consumed = false;
            ReportErrors([&] { consumed = FilterChar(edit, static_cast<const QKeyEvent &>(*event)); });
            return consumed;
        }
    }
    if (watched == OFGroup && event->type() == QEvent::MouseButtonPress) ReportErrors([this] { Recalc(); });
    return QDialog::eventFilter(watched, event);
}

bool TOverForm::FilterChar(QLineEdit *edit, const QKeyEvent &key)
{
    // Keys without a character (arrows, Home, Delete) and Escape for the dialog are not characters to filter.
    const QString text = key.text();
    if (text.isEmpty() || key.key() == Qt::Key_Delete || key.key() == Qt::Key_Escape) return false;
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
        Recalc();
        focusNextChild();
        return true;
    }
    const QChar c = text.front();
    if (c == ',') {
        edit->insert(".");
        return true;
    }
    if (c == '\b' || c == '\t' || c == '.' || (c >= '0' && c <= '9')) return false;
    QApplication::beep();
    return true;
}

void TOverForm::XSpinClick(bool up)
{
    std::optional<double> x = SpinStep(StrToRealDef(textOf(XEdit), 0), Settings.Inches ? 4 : 0.1, 1.0001, up);
    if (x && Settings.Inches && *x == 4) x = 5;   // the narrowest module in mils is 5
    if (x) setText(XEdit, RealToStr(*x, 1, true));
    Recalc();
}

void TOverForm::CDSpinClick(QLineEdit *edit, bool up)
{
    const std::optional<double> d = SpinStep(StrToRealDef(textOf(edit), 0), Settings.Inches ? 1 : 25, 1, up);
    if (d) setText(edit, RealToStr(*d, 1, true));
    Recalc();
}

void TOverForm::SetUnit(bool inches)
{
    Settings.Inches = inches;
    SaveSettings();
    ModUM->setText(inches ? "mils" : "mm");
    MinUM->setText(inches ? "in" : "mm");
    MaxUM->setText(inches ? "in" : "mm");
    XEdit->clear();
    MinCDEdit->clear();
    MaxCDEdit->clear();
    Recalc();
}
