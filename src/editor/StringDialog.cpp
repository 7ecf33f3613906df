#include "StringDialog.h"

#include "common/ByteDisplay.h"
#include "common/Wrn.h"
#include "model/Template.h"
#include "model/TplEntry.h"
#include "platform/Text.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/Guarded.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr std::size_t kMaxStringLength = 30;
const QColor kMarkedBackground(255, 255, 224);
const QColor kDisabledDel(192, 192, 192);
const QColor kHighByte(255, 0, 255);

// Cells drawn in their own colours on their own background, centred; the current cell gets a highlight frame.
class TStrCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        painter->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QBrush>());
        painter->setPen(index.data(Qt::ForegroundRole).value<QBrush>().color());
        painter->drawText(option.rect, Qt::AlignCenter | Qt::TextSingleLine, index.data(Qt::DisplayRole).toString());
        if (option.state & QStyle::State_Selected) {
            painter->setPen(option.palette.color(QPalette::Highlight));
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        }
        painter->restore();
    }
};

// The narrowest column, at least 26 pixels, that shows every name a cell can hold in full.
int CellWidth(const QFontMetrics &metrics)
{
    int widest = std::max({metrics.horizontalAdvance("DEL"), metrics.horizontalAdvance("DIS"),
                           metrics.horizontalAdvance("WW")});
    for (std::string_view name : ControlCharNames)
        widest = std::max(widest, metrics.horizontalAdvance(FromCp1252(name)));
    return std::max(26, widest + 6);
}

// The control character that Ctrl with this key types (Ctrl+M is CR).
std::optional<uint8_t> ControlCode(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return uint8_t(key - Qt::Key_A + 1);
    switch (key) {
    case Qt::Key_At: return 0;
    case Qt::Key_BracketLeft: return 27;
    case Qt::Key_Backslash: return 28;
    case Qt::Key_BracketRight: return 29;
    case Qt::Key_AsciiCircum: return 30;
    case Qt::Key_Underscore: return 31;
    default: return std::nullopt;
    }
}

// Stores one character of a text in its entry, with the value text the editor shows for it.
void WriteChar(TTplEnt &entry, uint8_t c)
{
    entry.Value = c;
    if (c == 127)
        Template->SetEntryValue(entry, c);   // the template's name for it, or "Value not found"
    else if (c <= 32)
        entry.ValueText = ControlCharNames[c];
    else if (c >= 128)
        entry.ValueText = BytesToHex(std::string(1, char(c)));
    else
        entry.ValueText = std::string(1, char(c));
}

} // namespace

TStrForm::TStrForm(QWidget *owner) : QDialog(owner)
{
    setWindowTitle("String");
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    Grid = new QTableWidget(1, int(kMaxStringLength));
    QFont plain = Grid->font();
    plain.setBold(false);
    Grid->setFont(plain);
    Grid->horizontalHeader()->setFont(plain);
    Grid->verticalHeader()->hide();
    Grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid->horizontalHeader()->setDefaultSectionSize(CellWidth(QFontMetrics(plain)));
    Grid->verticalHeader()->setDefaultSectionSize(18);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setTabKeyNavigation(false);   // Tab leaves the grid; the arrow keys move within
    Grid->setItemDelegate(new TStrCellDelegate(Grid));
    Grid->setContextMenuPolicy(Qt::CustomContextMenu);
    Grid->setFixedHeight(Grid->horizontalHeader()->sizeHint().height() + 18 +
                         Grid->horizontalScrollBar()->sizeHint().height() + 2 * Grid->frameWidth());
    Grid->installEventFilter(this);
    Grid->horizontalHeader()->viewport()->installEventFilter(this);
    CharMenu = new TColumnMenu(this);

    OKBtn = new QPushButton("OK");
    CancelBtn = new QPushButton("Cancel");
    OKBtn->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Grid);
    layout->addLayout(buttons);

    connect(Grid, &QTableWidget::customContextMenuRequested, this,
            Guarded([this] { CharMenu->popup(QCursor::pos()); }));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(QSize(298, 113).expandedTo(sizeHint()));
}

void TStrForm::SetText(const std::string &s)
{
    text_ = s;
    Grid->setColumnCount(int(s.size()));
    for (int i = 0; i < int(s.size()); ++i) {
        Grid->setHorizontalHeaderItem(i, new QTableWidgetItem(QString::number(i + 1)));
        Grid->setItem(0, i, new QTableWidgetItem);
        DrawCell(i);
    }
    if (!s.empty()) Grid->setCurrentCell(0, 0);
}

void TStrForm::SetMarkedColumn(int32_t n)
{
    MarkedColumn = n;
    for (int i = 0; i < Grid->columnCount(); ++i) DrawCell(i);
}

std::string TStrForm::GetText() const { return text_; }

void TStrForm::CharMenuClick(uint8_t code)
{
    if (Grid->currentColumn() >= 0) SetCell(Grid->currentColumn(), code);
}

void TStrForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ReportErrors([this] { FormShow(); });
}

void TStrForm::FormShow()
{
    // Four groups of eight control characters, then byte 127 under the template's name for it.
    CharMenu->clear();
    for (uint8_t code = 0; code < 32; ++code) {
        if (code > 0 && code % 8 == 0) CharMenu->addSeparator();
        QAction *item = CharMenu->addAction(FromCp1252(ControlCharNames[code]));
        connect(item, &QAction::triggered, this, Guarded([this, code] { CharMenuClick(code); }));
    }
    QAction *del = CharMenu->addAction(DelName.empty() ? QString("DEL") : FromCp1252(DelName));
    connect(del, &QAction::triggered, this, Guarded([this] { CharMenuClick(127); }));
    for (int i = 0; i < Grid->columnCount(); ++i) DrawCell(i);   // byte 127 shows as DEL or DIS
}

bool TStrForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Grid && event->type() == QEvent::KeyPress) {
        bool consumed = false;
        ReportErrors([&] { consumed = GridKeyDown(static_cast<const QKeyEvent &>(*event)); });
        return consumed;
    }
    // A press on a column number makes its column current; the number row itself holds no cell to select.
    if (watched == Grid->horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonPress) {
        const int column = Grid->horizontalHeader()->logicalIndexAt(static_cast<QMouseEvent *>(event)->position().toPoint());
        if (column >= 0) Grid->setCurrentCell(0, column);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool TStrForm::GridKeyDown(const QKeyEvent &key)
{
    if (key.modifiers() & Qt::AltModifier) return true;
    if (key.modifiers() & Qt::ControlModifier) {
        if (const std::optional<uint8_t> code = ControlCode(key.key())) TypeChar(*code);
        return true;
    }
    switch (key.key()) {
    case Qt::Key_Delete: TypeChar(127); return true;
    // Keys of the dialog and of the focus chain.
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return false;
    default: break;
    }
    const std::string typed = ToCp1252(key.text());
    if (typed.empty()) return false;
    TypeChar(uint8_t(typed[0]));
    return true;
}

void TStrForm::TypeChar(uint8_t code)
{
    const int column = Grid->currentColumn();
    if (column < 0) return;
    SetCell(column, code);
    if (column + 1 < Grid->columnCount()) Grid->setCurrentCell(0, column + 1);
}

void TStrForm::SetCell(int column, uint8_t code)
{
    text_[std::size_t(column)] = char(code);
    DrawCell(column);
}

void TStrForm::DrawCell(int column)
{
    const auto b = uint8_t(text_[std::size_t(column)]);
    QString shown;
    QColor colour = palette().color(QPalette::WindowText);
    if (b <= 32) {
        shown = FromCp1252(ControlCharNames[b]);
        colour = Qt::blue;
    } else if (b == 127) {
        shown = DelName.empty() ? "DEL" : "DIS";
        colour = DelName.empty() ? QColor(Qt::blue) : kDisabledDel;
    } else if (b >= 128) {
        shown = QString::fromStdString(BytesToHex(std::string(1, char(b))));
        colour = kHighByte;
    } else {
        shown = FromCp1252(std::string(1, char(b)));
    }
    const bool marked = column == MarkedColumn;
    QTableWidgetItem *cell = Grid->item(0, column);
    cell->setText(shown);
    cell->setForeground(colour);
    cell->setBackground(marked ? kMarkedBackground : Grid->palette().color(QPalette::Base));
    QTableWidgetItem *number = Grid->horizontalHeaderItem(column);
    if (marked)
        number->setForeground(QColor(Qt::red));
    else
        number->setData(Qt::ForegroundRole, QVariant());
}

bool EditString(QWidget *owner, TTplEnt &entry)
{
    // The run starts where the index stops rising; it goes on over adjacent runs, up to 30 entries.
    TTplEnt *first = &entry;
    for (TTplEnt *prev = first->Prev(); prev && prev->ArrayIndex > 0 && prev->ArrayIndex < first->ArrayIndex;
         prev = first->Prev())
        first = prev;
    std::vector<TTplEnt *> run;
    std::string s;
    int32_t marked = -1;   // none when the entry lies beyond the 30th of its run
    for (TTplEnt *e = first; e && e->ArrayIndex > 0 && run.size() < kMaxStringLength; e = e->Next()) {
        if (e == &entry) marked = int32_t(run.size());
        run.push_back(e);
        s += char(e->Value);
    }
    if (s.empty()) {
        ShowWarning("Not a valid string!");
        return false;
    }

    TStrForm form(owner);
    form.setWindowTitle(FromCp1252(entry.Name));
    form.SetText(s);
    form.SetMarkedColumn(marked);
    form.DelName = Template->ValueText(entry, 127);
    if (form.DelName == "7F") form.DelName.clear();
    if (form.exec() != QDialog::Accepted) return false;

    const std::string t = Cut(form.GetText(), kMaxStringLength);
    for (std::size_t i = 0; i < t.size() && i < run.size(); ++i) WriteChar(*run[i], uint8_t(t[i]));
    return true;
}
