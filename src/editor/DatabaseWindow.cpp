#include "DatabaseWindow.h"

#include "DatabaseRecordDialog.h"
#include "DialogLayout.h"
#include "OleDate.h"
#include "XGrid.h"
#include "common/ByteDisplay.h"
#include "common/Wrn.h"
#include "model/Edition.h"
#include "model/LocalizedNames.h"
#include "model/Settings.h"
#include "model/Template.h"
#include "platform/Text.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/Guarded.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kColWidths[] = {57, 61, 98, 103, 152};

// A record field shown in the grid or the record dialog.
QString FieldText(const CfgDbRecord &rec, DbTextField field) { return FromCp1252(rec.Get(field)); }
std::string EditText(const QLineEdit *edit) { return ToCp1252(edit->text()); }

// The locale's long time format without its time-zone field (an unquoted "t").
QString LongTimeFormat(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (quoted || c != QLatin1Char('t')) out += c;
    }
    return out.simplified();
}

} // namespace

std::string DbDateTimeText(double date)
{
    const std::optional<DateParts> p = DecodeOleDate(date);
    if (!p) return {};
    const QLocale locale;
    return ToCp1252(locale.toString(QDate(p->Year, p->Month, p->Day), QLocale::ShortFormat) + ' ' +
                    locale.toString(QTime(p->Hour, p->Minute, p->Second, p->Millisecond), LongTimeFormat(locale)));
}

TDBForm::TDBForm(QWidget *owner, TTemplate &target) : QDialog(owner), DBFile(), target_(target)
{
    setWindowTitle("Configuration Database");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    buildControls();

    DBGrid->SetRowCount(DBFile.Count() + 1);
    selectionValid_ = true;
    ShowPosition(1);
    // Design widths grown with the font, wider where the header or the records need it; the last fills the rest.
    for (int i = 0; i < int(std::size(kColWidths)); ++i) {
        DBGrid->resizeColumnToContents(i);
        DBGrid->SetColWidth(i, std::max(ScaledToFont(kColWidths[i], *DBGrid), DBGrid->columnWidth(i)));
    }
    DBGrid->horizontalHeader()->setStretchLastSection(true);
    FixDialogSize(*this, {502, 304});
    CenterOnScreen(*this);
}

TDBForm::~TDBForm() = default;

void TDBForm::buildControls()
{
    MainMenu1 = new QMenuBar(this);
    EditMenu = MainMenu1->addMenu("&Edit");
    InsItem = EditMenu->addAction("&Insert");
    EditItem = EditMenu->addAction("&Edit");
    DelItem = EditMenu->addAction("&Delete");

    auto *panel = new QWidget(this);
    panel->setFixedHeight(37);
    InsBtn = MakeGlyphButton(panel, QStyle::SP_FileIcon, "Insert");
    EditBtn = MakeGlyphButton(panel, QStyle::SP_FileDialogDetailedView, "Edit");
    DelBtn = MakeGlyphButton(panel, QStyle::SP_TrashIcon, "Delete");
    OkBtn = new QPushButton("OK", panel);
    OkBtn->setDefault(true);
    EscBtn = new QPushButton("Cancel", panel);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 2, 4, 2);
    for (QWidget *w : {static_cast<QWidget *>(InsBtn), static_cast<QWidget *>(EditBtn), static_cast<QWidget *>(DelBtn)})
        row->addWidget(w);
    row->addStretch();
    row->addWidget(OkBtn);
    row->addWidget(EscBtn);

    DBGrid = new TExtGrid(this);
    DBGrid->SetColCount(int(std::size(kColWidths)));
    DBGrid->SetHeaders({DeviceWord(), "Serial No.", "Date/Time", "Author", "Description"});
    DBGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DBGrid->OnGetCell = [this](TExtGrid &, int col, int row, std::string &text) { DBGridGetCell(col, row, text); };
    DBGrid->OnSelectCell = [this](int, int row) { return DBGridSelectCell(row); };

    StatusBar = new QLabel(this);
    StatusBar->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu1);
    layout->addWidget(panel);
    layout->addWidget(DBGrid, 1);
    layout->addWidget(StatusBar);

    for (auto [button, item, handler] : {std::tuple {InsBtn, InsItem, &TDBForm::InsBtnClick},
                                         std::tuple {EditBtn, EditItem, &TDBForm::EditBtnClick},
                                         std::tuple {DelBtn, DelItem, &TDBForm::DelBtnClick}}) {
        connect(button, &QToolButton::clicked, this, Guarded([this, h = handler] { (this->*h)(); }));
        connect(item, &QAction::triggered, this, Guarded([this, h = handler] { (this->*h)(); }));
    }
    connect(OkBtn, &QPushButton::clicked, this, Guarded([this] { OkBtnClick(); }));
    connect(DBGrid, &TExtGrid::DblClick, this, Guarded([this] { OkBtnClick(); }));
    connect(EscBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TDBForm::DBGridGetCell(int col, int row, std::string &text)
{
    if (row > DBFile.Count()) return;
    const CfgDbRecord rec = DBFile.ReadRecord(row);
    switch (col) {
    case 0: text = rec.Get(DbField::Device); break;
    case 1: text = rec.Get(DbField::SerialNo); break;
    case 2: text = DbDateTimeText(rec.DateTime()); break;
    case 3: text = rec.Get(DbField::Author); break;
    case 4: text = rec.Get(DbField::Description); break;
    default: break;
    }
}

bool TDBForm::DBGridSelectCell(int row)
{
    const bool allowed = row <= DBFile.Count();
    if (allowed) ShowPosition(row);
    selectionValid_ = allowed;
    return allowed;
}

void TDBForm::ShowPosition(int n)
{
    StatusBar->setText(QStringLiteral("Current record: %1/%2").arg(n).arg(DBFile.Count()));
}

void TDBForm::EditAndStore(CfgDbRecord &rec)
{
    if (!EditRecordDialog(rec)) return;
    TDBFile::MakeKey(rec);
    DBFile.Store(rec);
    if (DBGrid->RowCount() < DBFile.Count() + 1) DBGrid->SetRowCount(DBFile.Count() + 1);
    DBGrid->Invalidate();
    ShowPosition(DBGrid->Row());
}

void TDBForm::InsBtnClick()
{
    CfgDbRecord rec;
    rec.SetDateTime(OleDateNow());
    rec.Set(DbField::TemplateName, Settings.DefTpl);
    Commands = Template ? Template->GetConfiguration() : ConfigRecords {};
    switch (TDBFile::ListToData(rec, Commands)) {
    case DbPackResult::TooLarge: return ShowWarning("Configuration too large for the database!");
    case DbPackResult::Unframeable: return ShowWarning("Configuration can't be stored in the database!");
    case DbPackResult::Packed: break;
    }
    EditAndStore(rec);
}

void TDBForm::EditBtnClick()
{
    const int row = DBGrid->Row();
    if (row > DBFile.Count()) return;
    CfgDbRecord rec = DBFile.ReadRecord(row);
    TDBFile::DataToList(rec, Commands);
    EditAndStore(rec);
}

void TDBForm::DelBtnClick()
{
    const int row = DBGrid->Row();
    if (row > DBFile.Count() || !AskYesNo("Delete record?")) return;
    DBFile.DeleteRecord(row);
    if (DBFile.Count() < row && DBFile.Count() > 0) DBGrid->SetRow(row - 1);
    DBGrid->Invalidate();
    ShowPosition(DBGrid->Row());
}

void TDBForm::OkBtnClick()
{
    const int row = DBGrid->Row();
    if (!selectionValid_ || row > DBFile.Count()) {
        QApplication::beep();
        selectionValid_ = true;
        return;
    }
    const CfgDbRecord rec = DBFile.ReadRecord(row);
    const std::string name = rec.Get(DbField::TemplateName);

    // The template lies in the device folder of the record's device; the current device folder stays, and the
    // template remembers where it was read from.
    const std::string folder = ReadModelDevPath(rec.Get(DbField::Device));
    if (target_.LoadFromFile(name, folder)) {
        if (target_.Scope() == TemplateScope::Global) Settings.DefTpl = name;
    } else if (!AskYesNo("Template:" + TemplatePath(folder, name) + " not found.\r" + "Load anyway?")) {
        return;
    }
    TDBFile::DataToList(rec, Commands);
    RecordTitle = rec.Get(DbField::SerialNo) + " " + DbDateTimeText(rec.DateTime());
    accept();
}

bool TDBForm::EditRecordDialog(CfgDbRecord &rec)
{
    TDBEditForm dialog(this);
    dialog.setWindowTitle(FromCp1252(Cut("Configuration data (" + rec.Get(DbField::TemplateName), 40) + ")"));
    dialog.DevEdit->setText(FieldText(rec, DbField::Device));
    dialog.SerEdit->setText(FieldText(rec, DbField::SerialNo));
    dialog.Authedit->setText(FieldText(rec, DbField::Author));
    dialog.DescEdit->setText(FieldText(rec, DbField::Description));
    for (const std::string &command : Commands) dialog.CfgList->addItem(FromCp1252(BytesToDisplay(command, "<space>")));
    if (dialog.exec() != QDialog::Accepted) return false;
    rec.Set(DbField::Device, EditText(dialog.DevEdit));
    rec.Set(DbField::SerialNo, EditText(dialog.SerEdit));
    rec.Set(DbField::Author, EditText(dialog.Authedit));
    rec.Set(DbField::Description, EditText(dialog.DescEdit));
    return true;
}
