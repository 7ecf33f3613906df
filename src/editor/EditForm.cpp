#include "EditForm.h"

#include "model/AppHelp.h"
#include "CompareDialog.h"
#include "DatabaseWindow.h"
#include "LoadConfigDialog.h"
#include "OverflowCalculator.h"
#include "StringDialog.h"
#include "Value16Dialog.h"
#include "GridCombo.h"
#include "PrintListing.h"
#include "PrinterCanvas.h"
#include "common/Wrn.h"
#include "link/ReaderLink.h"
#include "model/HtmlHelp.h"
#include "model/Settings.h"
#include "model/Template.h"
#include "platform/ScopedFlag.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/DesignSize.h"
#include "platform/qt/Guarded.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

TEditForm *EditForm = nullptr;

namespace {

const QColor kPurple(128, 0, 128);
const char *const kNotApplicable = "* NOT APPLICABLE *";
constexpr int kPanelWidth = 295;   // the button panel; the window's client area is 16 pixels wider
constexpr int kButtonSize = 28;
constexpr int kMinRowHeight = 17;
constexpr int kDesignHeight = 326;

bool IsPair(const TTplEnt &entry) { return entry.ByteOrder != 0; }
bool IsTextChar(const TTplEnt &entry) { return entry.ArrayIndex > 0; }
// A parameter whose value is chosen in the value list: set, and neither half of a pair nor a text character.
bool HasValueList(const TTplEnt &entry)
{
    return entry.Kind == trEnt && !entry.Unset && !IsPair(entry) && !IsTextChar(entry);
}

// The index of the entry's value text among its values; -1 when none has that text.
int32_t ValueIndex(const TTplEnt &entry)
{
    TTplValueInfo info;
    for (int32_t i = 0; i < entry.ValueCount(); ++i) {
        entry.GetValueInfo(i, info);
        if (info.Name == entry.ValueText) return i;
    }
    return -1;
}

QToolButton *toolButton(const char *hint, QStyle::StandardPixmap icon)
{
    auto *b = new QToolButton;
    b->setToolTip(hint);
    b->setAccessibleName(hint);   // a glyph alone names nothing for a screen reader
    b->setIcon(QApplication::style()->standardIcon(icon));
    b->setAutoRaise(true);
    b->setFixedSize(kButtonSize, kButtonSize);
    return b;
}

} // namespace

TEditForm::TEditForm(QWidget *parent) : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    buildControls();
    buildMenus();

    EditForm = this;
    CommDM->EditView = this;
    UpdateCaption();
    Grid->hide();
    Grid->verticalHeader()->setDefaultSectionSize(std::max(kMinRowHeight, Combo->sizeHint().height()));
    FillTabs();
    UpdateOverButton();
}

TEditForm::~TEditForm()
{
    // The controls go after this object: nothing they signal while going may reach it.
    for (QObject *sender : std::initializer_list<QObject *> {Combo, Grid, Grid->selectionModel(),
                                                             Grid->verticalScrollBar(), TabSet})
        disconnect(sender, nullptr, this, nullptr);
    Unregister();
}

void TEditForm::Unregister()
{
    if (CommDM && CommDM->EditView == this) CommDM->EditView = nullptr;
    if (EditForm == this) EditForm = nullptr;
}

void TEditForm::buildControls()
{
    auto *body = new QWidget;
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *panel = new QWidget;
    panel->setFixedSize(kPanelWidth, kButtonSize + 3);
    auto *buttons = new QHBoxLayout(panel);
    buttons->setContentsMargins(2, 1, 2, 2);
    buttons->setSpacing(0);
    LoadBtn = toolButton("Load configuration", QStyle::SP_DialogOpenButton);
    SaveBtn = toolButton("Save configuration", QStyle::SP_DialogSaveButton);
    DBBtn = toolButton("Configuration database", QStyle::SP_DriveHDIcon);
    InfoBtn = toolButton("Template Info", QStyle::SP_MessageBoxInformation);
    CmpBtn = toolButton("Compare configurations", QStyle::SP_FileDialogContentsView);
    OverBtn = toolButton("Overflow determination", QStyle::SP_ArrowUp);
    PrintBtn = toolButton("Print configuration", QStyle::SP_FileIcon);
    HelpBtn = toolButton("Help", QStyle::SP_DialogHelpButton);
    for (QToolButton *b : {LoadBtn, SaveBtn, DBBtn, InfoBtn, CmpBtn, OverBtn, PrintBtn, HelpBtn}) buttons->addWidget(b);
    buttons->addStretch();
    OverBtn->hide();
    layout->addWidget(panel);

    auto *panel2 = new QFrame;
    panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto *pages = new QVBoxLayout(panel2);
    pages->setContentsMargins(1, 1, 1, 1);
    pages->setSpacing(0);
    TabSet = new TTabRows;
    QFont bold = TabSet->font();
    bold.setBold(true);
    TabSet->setFont(bold);
    Grid = new TEditGrid([this](int col, int row) { return Cell(col, row); });
    pages->addWidget(TabSet);
    pages->addWidget(Grid, 1);
    layout->addWidget(panel2, 1);

    body->setFixedWidth(ScaledToFont(kPanelWidth + 16, *body));   // room for the caption as the font grows
    setWidget(body);
    resize(width(), ScaledToFont(kDesignHeight, *this));

    Combo = new TGridCombo(Grid, Sending, Grid->viewport());
    Combo->TextColour = [this] { return IsInteractive() ? QColor(Qt::red) : QColor(Qt::black); };

    connect(TabSet, &TTabRows::currentChanged, this, Guarded([this] { TabSetChange(); }));
    connect(Grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, Guarded([this] { GridRowChanged(); }));
    connect(Grid, &QAbstractItemView::pressed, this, Guarded([this] { GridRowChanged(); }));
    connect(Grid->verticalScrollBar(), &QScrollBar::valueChanged, this, Guarded([this] { Combo->hide(); }));
    connect(Combo, &TGridCombo::Click, this, Guarded([this] { ApplyValue(); }));
    connect(Combo, &TGridCombo::ClosedWithChanges, this, Guarded([this] { SendPendingValue(); }));
    connect(this, &QMdiSubWindow::aboutToActivate, this, Guarded([this] {
        if (!Grid->isHidden() && Grid->isEnabled()) Grid->setFocus();
    }));
    Grid->installEventFilter(this);
    Grid->viewport()->installEventFilter(this);

    connect(SaveBtn, &QToolButton::clicked, this, Guarded([] { Template->SaveConfiguration(); }));
    connect(InfoBtn, &QToolButton::clicked, this, Guarded([] { Template->ShowInfo(); }));
    connect(HelpBtn, &QToolButton::clicked, this, Guarded([this] { HelpTopicClick(); }));
    connect(DBBtn, &QToolButton::clicked, this, Guarded([this] { DBBtnClick(); }));
    connect(CmpBtn, &QToolButton::clicked, this, Guarded([this] { CmpBtnClick(); }));
    connect(PrintBtn, &QToolButton::clicked, this, Guarded([this] { PrintConfiguration(); }));
    connect(LoadBtn, &QToolButton::clicked, this, Guarded([this] { LoadBtnClick(); }));
    connect(OverBtn, &QToolButton::clicked, this, Guarded([this] { OverBtnClick(); }));
    connect(this, &TEditForm::EditLsbMsbRequested, this, [this](TTplEnt *entry) { ReportErrors([&] { EditLsbMsb(*entry); }); });
    connect(this, &TEditForm::EditStringRequested, this, [this](TTplEnt *entry) { ReportErrors([&] { EditString(*entry); }); });
}

void TEditForm::buildMenus()
{
    File1 = new QMenu("Co&mmands", this);
    Open1 = File1->addAction("&Load...", this, Guarded([this] { LoadBtnClick(); }));
    SaveAs1 = File1->addAction("&Save...", this, Guarded([] { Template->SaveConfiguration(); }));
    Database1 = File1->addAction("&Database", this, Guarded([this] { DBBtnClick(); }));
    File1->addSeparator();
    Info2 = File1->addAction("&Info", this, Guarded([] { Template->ShowInfo(); }));
    Compare2 = File1->addAction("&Compare", this, Guarded([this] { CmpBtnClick(); }));
    Overflow2 = File1->addAction("&Overflow", this, Guarded([this] { OverBtnClick(); }));
    File1->addSeparator();
    Print1 = File1->addMenu("&Print...");
    Printer1 = Print1->addAction("&Printer", this, Guarded([this] { PrintConfiguration(); }));
    File2 = Print1->addAction("&File", this, Guarded([this] { PrintToFile(); }));
    File1->addSeparator();
    Exit1 = File1->addAction("E&xit", this, Guarded([this] { close(); }));

    Help1 = new QMenu("&Help", this);
    HelpContents = Help1->addAction("&Contents", this, Guarded([] { ApplicationHelp(HELP_CONTENTS, 0); }));
    HelpSearch = Help1->addAction("&Search", this, Guarded([] { ApplicationHelp(HELP_PARTIALKEY, 0, ""); }));
    HelpTopic = Help1->addAction("&Topic Search", QKeySequence(Qt::Key_F1), this, Guarded([this] { HelpTopicClick(); }));
    Help1->addSeparator();
    About1 = Help1->addAction("&About");   // the main window binds its About command to it
    About1->setEnabled(false);
}

void TEditForm::showEvent(QShowEvent *event)
{
    QMdiSubWindow::showEvent(event);
    move(0, 0);
    setFixedWidth(widget()->width() + contentsMargins().left() + contentsMargins().right());
}

void TEditForm::closeEvent(QCloseEvent *event)
{
    // The send further up the stack still uses this window.
    if (Sending) {
        event->ignore();
        QApplication::beep();
        return;
    }
    QMdiSubWindow::closeEvent(event);
    // Closed is gone, also while its deletion waits for a wait of the link to end.
    if (event->isAccepted()) Unregister();
}

void TEditForm::changeEvent(QEvent *event)
{
    QMdiSubWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMaximized())
        QTimer::singleShot(0, this, Guarded([this] { Maximize(); }));
}

void TEditForm::Maximize()
{
    // Not maximized: to the top left corner, as high as the client area, as wide as ever.
    setWindowState(windowState() & ~Qt::WindowMaximized);
    move(0, 0);
    if (mdiArea()) resize(width(), mdiArea()->viewport()->height());
}

bool TEditForm::eventFilter(QObject *watched, QEvent *event)
{
    bool handled = false;
    ReportErrors([&] {
        if (!Grid) return;   // the window's own filtering starts before the grid exists
        if (watched == Grid) {
            switch (event->type()) {
            case QEvent::KeyPress: {
                const int key = static_cast<QKeyEvent *>(event)->key();
                handled = GridKeyDown(key) || GridKeyPress(key);
                break;
            }
            case QEvent::FocusIn: GridRowChanged(); break;
            case QEvent::Resize: FormResize(); break;
            default: break;
            }
        } else if (watched == Grid->viewport()) {
            if (event->type() == QEvent::MouseButtonPress) DownOnCurrentRow = Grid->Row() == LastClickedRow;
            if (event->type() == QEvent::MouseButtonRelease)
                GridMouseUp(static_cast<QMouseEvent *>(event)->position().toPoint().x());
        }
    });
    return handled || QMdiSubWindow::eventFilter(watched, event);
}

void TEditForm::RefreshAll()
{
    // The template may have been replaced: values browsed in an open list belong to none of its entries.
    Combo->PendingChanges = 0;
    Combo->hidePopup();
    UpdateCaption();
    FillTabs();
    UpdateRowCount();
    GridRowChanged();
    Grid->viewport()->update();
}

void TEditForm::UpdateCaption()
{
    const std::string title = Template->PageCount() > 0 ? Settings.DeviceTitle.str() : std::string("None");
    setWindowTitle(FromCp1252(title + " - Edit Configuration"));
}

void TEditForm::FillTabs()
{
    {
        const QSignalBlocker block(TabSet);
        while (TabSet->count() > 0) TabSet->removeTab(0);
        if (Template->IsEmpty()) {
            Grid->hide();
            Combo->hide();
        } else {
            for (int32_t i = 0; i < Template->PageCount(); ++i) TabSet->addTab(FromCp1252(Template->Pages(i).Name.str()));
            TabSet->setCurrentIndex(CurrentPage >= 0 && CurrentPage < TabSet->count() ? CurrentPage : 0);
            CurrentPage = TabSet->currentIndex();
        }
    }
    if (!Template->IsEmpty()) {
        Grid->show();
        FormResize();
        TabSetChange();
    }
    LastClickedRow = -1;
    ComboRow = -1;
}

void TEditForm::UpdateRowCount()
{
    Template->UpdateVisible();
    const bool pageExists = CurrentPage >= 0 && CurrentPage < Template->PageCount();
    Grid->SetRowCount(pageExists ? Template->Pages(CurrentPage).VisibleCount() : 0);
}

bool TEditForm::IsInteractive() const { return CommDM && CommDM->Connected && CommDM->Interactive; }

void TEditForm::TabSetChange()
{
    Combo->hidePopup();
    CurrentPage = TabSet->currentIndex();
    const bool pageExists = CurrentPage >= 0 && CurrentPage < Template->PageCount();
    Grid->SetRowCount(pageExists ? Template->Pages(CurrentPage).VisibleCount() : 0);
    LastClickedRow = -1;
    ComboRow = -1;
    // The first row; the list goes to the row that ends up current.
    MoveGridRow(0);
    Grid->viewport()->update();
}

void TEditForm::MoveGridRow(int row)
{
    const int before = Grid->Row();
    Grid->SetRow(row);
    if (Grid->Row() == before) GridRowChanged();
}

void TEditForm::GridRowChanged()
{
    GridClick();
    ShowValueCell(Grid->Row());
}

void TEditForm::GridClick()
{
    if (Template->IsEmpty()) return OverBtn->hide();
    const int row = Grid->Row();
    const TTplEnt *entry = VisibleEntry(row);
    if (entry && entry->Kind == trHdr && (LastClickedRow == -1 || row == 0) && row + 1 < Grid->RowCount())
        MoveGridRow(row + 1);
    LastClickedRow = Grid->Row();
    UpdateOverButton();
}

void TEditForm::UpdateOverButton()
{
    // The calculator's value is applied through the value list.
    const TTplEnt *entry = VisibleEntry(Grid->Row());
    OverBtn->setVisible(!Template->IsEmpty() && !Settings.OverflowList.empty() && entry && entry->IsOverflow &&
                        HasValueList(*entry));
}

TTplEnt *TEditForm::VisibleEntry(int row) const
{
    if (CurrentPage < 0 || CurrentPage >= Template->PageCount()) return nullptr;
    TTplPag &page = Template->Pages(CurrentPage);
    return row >= 0 && row < page.VisibleCount() ? &page.Visible(row) : nullptr;
}

TGridCell TEditForm::Cell(int col, int row) const
{
    const TTplEnt *entry = VisibleEntry(row);
    if (!entry) return {};
    if (entry->Kind == trHdr) return {TCellKind::Header, entry->Name, Qt::black, false};
    if (col == 0) {
        std::string name = entry->Name;
        if (!name.empty() && name.front() == '~') name.erase(0, 1);
        return {TCellKind::Name, Cut(" - " + name, 30), entry->Unset ? kPurple : QColor(Qt::black), false};
    }
    const QColor colour = entry->Unset ? kPurple : IsInteractive() ? QColor(Qt::red) : QColor(Qt::black);
    std::string text = Cut(entry->ValueText.str(), 50);
    if (IsPair(*entry) && text != kNotApplicable) text += LsbMsbSuffix(*entry);
    const bool button = row == Grid->Row() && !entry->Unset && (IsPair(*entry) || IsTextChar(*entry));
    return {TCellKind::Value, text, colour, button};
}

std::string TEditForm::LsbMsbSuffix(const TTplEnt &entry)
{
    const TTplEnt *msb = entry.ByteOrder == 1 ? entry.Next() : nullptr;
    return msb ? " (" + std::to_string(msb->Value * 256 + entry.Value) + ")" : std::string();
}

void TEditForm::ShowValueCell(int row)
{
    const TTplEnt *entry = VisibleEntry(row);
    if (!entry || entry->Kind == trHdr) return Combo->hide();
    if (!HasValueList(*entry)) {
        Combo->hide();
        if (!entry->Unset) ComboRow = row;   // the row of the "..." button
        return;
    }
    if (row != ComboRow) {
        const QSignalBlocker block(Combo);
        Combo->clear();
        TTplValueInfo info;
        for (int32_t i = 0; i < entry->ValueCount(); ++i) {
            entry->GetValueInfo(i, info);
            Combo->addItem(FromCp1252(info.Name.str()));
        }
        Combo->setCurrentIndex(ValueIndex(*entry));
        ComboRow = row;
    }
    const QRect cell = Grid->CellRect(1, row);
    Combo->setGeometry(cell.x(), cell.y(), cell.width() + 2, cell.height());
    Combo->show();
    Combo->raise();
    if (!mdiArea() || mdiArea()->activeSubWindow() == this) Combo->setFocus();
}

void TEditForm::SelectEntryValue(const TTplEnt &entry)
{
    const QSignalBlocker block(Combo);
    Combo->setCurrentIndex(ValueIndex(entry));
}

void TEditForm::ApplyValue()
{
    TTplEnt *entry = VisibleEntry(ComboRow);
    if (Sending || CommDM->OperationRunning) {
        // One value at a time, and none while the link may be replacing the template: the list goes back to
        // what the entry holds.
        if (entry) SelectEntryValue(*entry);
        return QApplication::beep();
    }
    const int index = Combo->currentIndex();
    if (!entry || index < 0 || index >= entry->ValueCount()) return;
    TTplValueInfo value;
    entry->GetValueInfo(index, value);
    const std::string question = !entry->Question.empty() ? entry->Question.str() : value.Question.str();
    if (!question.empty()) {
        const bool yes = AskYesNo(question);
        Combo->setFocus();
        if (!yes) return SelectEntryValue(*entry);
    }
    entry->ValueText = value.Name;
    entry->Value = value.Code;
    const bool hasDependents = entry->DependentCount > 0;
    if (IsInteractive()) {
        if (Combo->ListOpen)
            ++Combo->PendingChanges;
        else
            SendValue(*entry);
    }
    if (hasDependents) UpdateRowCount();
    Grid->viewport()->update();
}

void TEditForm::SendPendingValue()
{
    // The value was accepted (and its question answered) when it was chosen in the list.
    const TTplEnt *entry = VisibleEntry(ComboRow);
    if (entry && IsInteractive()) SendValue(*entry);
}

void TEditForm::SendValue(const TTplEnt &entry)
{
    TLinkOperation operation(*CommDM);
    if (!operation) return QApplication::beep();
    const std::string command = Cut(entry.Code.str() + char(entry.Value), 11);
    ScopedFlag sending(Sending);
    CommDM->SendSingleCommand(command);
}

void TEditForm::FormResize()
{
    const int width = (Grid->width() - style()->pixelMetric(QStyle::PM_ScrollBarExtent)) / 2;
    Grid->setColumnWidth(0, width);
    Grid->setColumnWidth(1, width);
    if (!Combo->isHidden()) ShowValueCell(Grid->Row());
}

bool TEditForm::GridKeyDown(int key)
{
    if (key != Qt::Key_PageUp && key != Qt::Key_PageDown) return false;
    const int page = CurrentPage + (key == Qt::Key_PageUp ? -1 : 1);
    if (page >= 0 && page < TabSet->count()) TabSet->setCurrentIndex(page);
    return true;
}

bool TEditForm::GridKeyPress(int key)
{
    if (key != Qt::Key_Space && key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    TTplEnt *entry = VisibleEntry(Grid->Row());
    if (!entry || Grid->Col() != 1 || entry->Unset || !(IsPair(*entry) || IsTextChar(*entry))) return false;
    OpenValueDialog(*entry);
    return true;
}

void TEditForm::GridMouseUp(int x)
{
    const int row = Grid->Row();
    TTplEnt *entry = VisibleEntry(row);
    if (!entry || Grid->Col() != 1) return;
    if (TEditGrid::InButton(Grid->CellRect(1, row), x) && DownOnCurrentRow && !entry->Unset) OpenValueDialog(*entry);
}

void TEditForm::OpenValueDialog(TTplEnt &entry)
{
    if (IsPair(entry))
        emit EditLsbMsbRequested(&entry);
    else if (IsTextChar(entry))
        emit EditStringRequested(&entry);
}

void TEditForm::HelpTopicClick()
{
    if (Template->IsEmpty()) return ShowWarning("Help not available!");
    const TTplEnt *entry = VisibleEntry(ComboRow >= 0 ? ComboRow : Grid->Row());
    if (!entry) return;
    if (entry->HelpContext > 0)
        ApplicationHelp(HELP_CONTEXT, entry->HelpContext);
    else
        ApplicationHelp(HELP_CONTEXTPOPUP, static_cast<int32_t>(-static_cast<int64_t>(entry->HelpContext)));
}

void TEditForm::DBBtnClick()
{
    // Picking a record may load another template: never while a value is being sent.
    TLinkOperation operation(*CommDM);
    if (!operation) return QApplication::beep();
    TDBForm form(this, *Template);
    if (form.exec() != QDialog::Accepted) return;
    Template->ApplyConfiguration(form.Commands);
    RefreshAll();
}

void TEditForm::CmpBtnClick()
{
    TCompForm form(this);
    form.exec();
}

void TEditForm::PrintConfiguration()
{
    const std::vector<TListingLine> lines = ListingLines(*Template);
    QPrinter &printer = ListingPrinter();
    const int32_t sheets = PrinterSheetCount(printer, lines.size());
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    dialog.setMinMax(1, sheets);
    dialog.setFromTo(1, sheets);
    if (dialog.exec() != QDialog::Accepted) return;
    PrintListing(printer, CurrentListingHeader(), lines);
}

void TEditForm::PrintToFile()
{
    FileDialogRequest request;
    request.title = "Print to file...";
    request.filter = "Text files|*.txt";
    request.defaultExt = "txt";
    const std::optional<std::string> path = Ui().SaveFileName(request);
    if (!path) return;
    WriteTextListing(*path, TextListing(CurrentListingHeader(), ListingLines(*Template)));
}

void TEditForm::LoadBtnClick()
{
    // Loading may read another template: never while a value is being sent.
    TLinkOperation operation(*CommDM);
    if (!operation) return QApplication::beep();
    const std::string name = SelectConfigurationFile(this);
    if (name.empty()) return;
    Template->LoadConfiguration(name);
    RefreshAll();
}

void TEditForm::OverBtnClick()
{
    // For the current row, when the value list holds its values.
    const int row = Grid->Row();
    const TTplEnt *entry = VisibleEntry(row);
    if (!entry || !HasValueList(*entry) || ComboRow != row) return;
    TOverForm form(this);
    form.PageIndex = CurrentPage;
    form.EntryIndex = row;
    if (form.exec() != QDialog::Accepted || ComboRow != row) return;
    const int32_t index = form.SelectedValueIndex();
    if (index < 0 || index >= Combo->count()) return;
    Combo->setCurrentIndex(index);
    ApplyValue();
}

void TEditForm::EditLsbMsb(TTplEnt &entry)
{
    ::EditLsbMsb(this, entry);
    Grid->viewport()->update();
    Grid->setFocus();
}

void TEditForm::EditString(TTplEnt &entry)
{
    ::EditString(this, entry);
    Grid->viewport()->update();
    Grid->setFocus();
}
