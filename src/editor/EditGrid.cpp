#include "EditGrid.h"

#include "platform/qt/Cp1252.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

// Rows and cells as the owner gives them; the grid's row count is its own and may exceed what the owner shows.
class TEditGridModel : public QAbstractTableModel {
public:
    TEditGridModel(const TEditGrid::CellSource &source, QObject *parent)
        : QAbstractTableModel(parent), source_(source)
    {
    }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 2; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid()) return {};
        const TGridCell cell = source_(index.column(), index.row());
        switch (role) {
        case Qt::DisplayRole: return FromCp1252(cell.Text);
        case Qt::ForegroundRole: return cell.Colour;
        default: return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    void SetRowCount(int count)
    {
        if (count > rows_) {
            beginInsertRows({}, rows_, count - 1);
            rows_ = count;
            endInsertRows();
        } else if (count < rows_) {
            beginRemoveRows({}, count, rows_ - 1);
            rows_ = count;
            endRemoveRows();
        }
        if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, 1));
    }

private:
    const TEditGrid::CellSource &source_;
    int rows_ = 0;
};

namespace {

const char *const kEllipsis = "...";

void drawCellText(QPainter &p, const QRect &r, const std::string &text, const QColor &colour)
{
    p.setPen(colour);
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, FromCp1252(text));
}

// A raised bar across the row with the header's name in bold.
void drawGroupRow(QPainter &p, const QRect &r, const QPalette &pal, const TGridCell &cell)
{
    p.fillRect(r, pal.color(QPalette::Button));
    p.setPen(Qt::black);
    p.drawRect(r.adjusted(-1, -1, 0, 0));
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(r.left(), r.bottom() - 1, r.right() - 1, r.bottom() - 1);
    p.setPen(Qt::white);
    p.drawLine(r.left(), r.top(), r.right() - 1, r.top());
    p.drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
    QFont bold = p.font();
    bold.setBold(true);
    p.setFont(bold);
    drawCellText(p, r.adjusted(2, 0, -2, 0), cell.Text, Qt::black);
}

void drawButton(QPainter &p, const QRect &b, const QPalette &pal)
{
    p.fillRect(b, pal.color(QPalette::Button));
    p.setPen(pal.color(QPalette::WindowText));
    p.drawText(b.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, kEllipsis);
    p.drawLine(b.bottomLeft(), b.bottomRight());
    p.drawLine(b.topRight(), b.bottomRight());
    const QRect in = b.adjusted(1, 1, -1, -1);
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(in.topLeft(), in.topRight());
    p.drawLine(in.topLeft(), in.bottomLeft());
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(in.bottomLeft(), in.bottomRight());
    p.drawLine(in.topRight(), in.bottomRight());
}

class TEditGridDelegate : public QStyledItemDelegate {
public:
    TEditGridDelegate(const TEditGrid::CellSource &source, QObject *parent)
        : QStyledItemDelegate(parent), source_(source)
    {
    }

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const TGridCell cell = source_(index.column(), index.row());
        const QRect &r = option.rect;
        p->save();
        p->setClipRect(r);
        switch (cell.Kind) {
        case TCellKind::Blank: break;
        case TCellKind::Header: drawGroupRow(*p, r, option.palette, cell); break;
        case TCellKind::Name: drawCellText(*p, r.adjusted(2, 2, -1, -1), cell.Text, cell.Colour); break;
        case TCellKind::Value:
            p->fillRect(r, Qt::white);
            drawCellText(*p, r.adjusted(3, 2, -1, -1), cell.Text, cell.Colour);
            if (cell.Button) drawButton(*p, TEditGrid::ButtonRect(r), option.palette);
            break;
        }
        p->restore();
    }

private:
    const TEditGrid::CellSource &source_;
};

constexpr int kDefaultColumnWidth = 140;
constexpr int kDefaultRowHeight = 17;

} // namespace

TEditGrid::TEditGrid(CellSource source, QWidget *parent) : QTableView(parent), source_(std::move(source))
{
    model_ = new TEditGridModel(source_, this);
    setModel(model_);
    setItemDelegate(new TEditGridDelegate(source_, this));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setDefaultSectionSize(kDefaultColumnWidth);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(kDefaultRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(NoSelection);
    setTabKeyNavigation(false);
    setWordWrap(false);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    setPalette(pal);
}

int TEditGrid::RowCount() const { return model_->rowCount(); }

void TEditGrid::SetRowCount(int count)
{
    model_->SetRowCount(std::max(count, 0));
    clearSpans();
    for (int r = 0; r < RowCount(); ++r)
        if (source_(0, r).Kind == TCellKind::Header) setSpan(r, 0, 1, 2);
    viewport()->update();
}

int TEditGrid::Row() const { return currentIndex().isValid() ? currentIndex().row() : -1; }

int TEditGrid::Col() const { return currentIndex().isValid() ? currentIndex().column() : -1; }

void TEditGrid::SetRow(int row)
{
    if (row >= 0 && row < RowCount()) setCurrentIndex(model_->index(row, 1));
}

QRect TEditGrid::CellRect(int col, int row) const { return visualRect(model_->index(row, col)); }

QRect TEditGrid::ButtonRect(const QRect &cell)
{
    // Edges as right and bottom of the text inset (3 left, 2 top, 1 right and bottom), exclusive.
    const int top = cell.y() + 2, right = cell.x() + cell.width() - 1, bottom = cell.y() + cell.height() - 1;
    const int height = bottom - top;
    const int left = right - height - 3;
    return QRect(left, top - 1, (right - 1) - left, (bottom - 1) - (top - 1));
}

bool TEditGrid::InButton(const QRect &cell, int x) { return x > cell.x() + cell.width() - cell.height() - 2; }
