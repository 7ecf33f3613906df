#include "XGrid.h"

#include "platform/ErrorReport.h"
#include "platform/Text.h"
#include "platform/qt/Cp1252.h"

#include <QEvent>
#include <QFontInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr std::size_t kAlignmentLetterMax = 10;

Qt::Alignment QtAlignment(int code)
{
    const Qt::Alignment horizontal = code == TExtGrid::AlignRightCode    ? Qt::AlignRight
                                     : code == TExtGrid::AlignCenterCode ? Qt::AlignHCenter
                                                                         : Qt::AlignLeft;
    return horizontal | Qt::AlignVCenter;
}

} // namespace

// Data rows of the grid: model row r is grid row r + 1.
class ExtGridModel final : public QAbstractTableModel {
public:
    explicit ExtGridModel(TExtGrid &grid) : QAbstractTableModel(&grid), grid_(grid) {}

    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : cols_; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DisplayRole) return FromCp1252(grid_.CellView(index.column(), index.row() + 1).Text);
        if (role == Qt::TextAlignmentRole) return int(QtAlignment(grid_.Alignment(index.column())));
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal) return {};
        if (role == Qt::DisplayRole) return FromCp1252(grid_.Caption(section));
        if (role == Qt::TextAlignmentRole) return int(QtAlignment(grid_.Alignment(section)));
        return {};
    }

    void SetRows(int rows)
    {
        rows = std::max(rows, 0);
        if (rows > rows_) {
            beginInsertRows({}, rows_, rows - 1);
            rows_ = rows;
            endInsertRows();
        } else if (rows < rows_) {
            beginRemoveRows({}, rows, rows_ - 1);
            rows_ = rows;
            endRemoveRows();
        }
    }

    void SetCols(int cols)
    {
        cols = std::max(cols, 0);
        if (cols > cols_) {
            beginInsertColumns({}, cols_, cols - 1);
            cols_ = cols;
            endInsertColumns();
        } else if (cols < cols_) {
            beginRemoveColumns({}, cols, cols_ - 1);
            cols_ = cols;
            endRemoveColumns();
        }
    }

    int Rows() const { return rows_; }
    int Cols() const { return cols_; }
    void CaptionsChanged() { emit headerDataChanged(Qt::Horizontal, 0, std::max(cols_ - 1, 0)); }

private:
    TExtGrid &grid_;
    int rows_ = 0;
    int cols_ = 0;
};

namespace {

// The current cell moves only where the grid's owner allows it.
class VetoSelection final : public QItemSelectionModel {
public:
    VetoSelection(QAbstractItemModel *model, TExtGrid &grid) : QItemSelectionModel(model, &grid), grid_(grid) {}

    void setCurrentIndex(const QModelIndex &index, QItemSelectionModel::SelectionFlags command) override
    {
        if (index.isValid() && index != currentIndex() && grid_.OnSelectCell &&
            !grid_.OnSelectCell(index.column(), index.row() + 1))
            return;
        QItemSelectionModel::setCurrentIndex(index, command);
    }

    // The first data row becomes current without asking, as a new grid starts on it.
    void StartOnFirstRow()
    {
        if (!currentIndex().isValid() && model()->rowCount() > 0)
            QItemSelectionModel::setCurrentIndex(model()->index(0, 0), QItemSelectionModel::NoUpdate);
    }

private:
    TExtGrid &grid_;
};

// Fills the cell, the current row in the selection colour, and draws the owner's text inset by one pixel.
class ExtGridDelegate final : public QStyledItemDelegate {
public:
    explicit ExtGridDelegate(TExtGrid &grid) : QStyledItemDelegate(&grid), grid_(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool current = index.row() + 1 == grid_.Row();
        painter->fillRect(option.rect, grid_.palette().brush(current ? QPalette::Highlight : QPalette::Base));
        const TExtGrid::TCellView cell = grid_.CellView(index.column(), index.row() + 1);
        QFont font = grid_.font();
        font.setBold(cell.Bold);
        painter->save();
        painter->setFont(font);
        painter->setPen(cell.Color);
        painter->drawText(option.rect.adjusted(1, 1, -1, -1), int(QtAlignment(grid_.Alignment(index.column()))) | Qt::TextSingleLine,
                          FromCp1252(cell.Text));
        painter->restore();
    }

private:
    TExtGrid &grid_;
};

} // namespace

TExtGrid::TExtGrid(QWidget *owner) : QTableView(owner), model_(new ExtGridModel(*this))
{
    setModel(model_);
    setSelectionModel(new VetoSelection(model_, *this));
    setItemDelegate(new ExtGridDelegate(*this));
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);   // Tab leaves the grid; the arrow keys move within
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, viewport(), [this] { viewport()->update(); });
    SetColCount(5);
    SetRowCount(5);
    FitRowHeightToFont();
}

TExtGrid::~TExtGrid() = default;

void TExtGrid::SetHeaders(const std::vector<std::string> &lines)
{
    headers_ = lines;
    ParseAlignments();
    model_->CaptionsChanged();
    Invalidate();
}

void TExtGrid::SetHeaderLine(int col, std::string_view line)
{
    if (col < 0) return;
    if (std::size_t(col) >= headers_.size()) {
        headers_.resize(std::size_t(col) + 1);
        alignments_.resize(headers_.size(), AlignLeftCode);
    }
    headers_[std::size_t(col)] = line;
    model_->CaptionsChanged();
    Invalidate();
}

void TExtGrid::ParseAlignments()
{
    alignments_.clear();
    for (const std::string &line : headers_) {
        const std::size_t comma = line.find(',');
        const std::string letter = comma == std::string::npos ? std::string() : Cut(line.substr(comma + 1), kAlignmentLetterMax);
        alignments_.push_back(letter == "d" ? AlignRightCode : letter == "c" ? AlignCenterCode : AlignLeftCode);
    }
}

std::string TExtGrid::Caption(int col) const
{
    if (col < 0 || std::size_t(col) >= headers_.size()) return {};
    const std::string &line = headers_[std::size_t(col)];
    return line.substr(0, line.find(','));
}

int TExtGrid::Alignment(int col) const
{
    return col >= 0 && std::size_t(col) < alignments_.size() ? alignments_[std::size_t(col)] : AlignLeftCode;
}

int TExtGrid::ColCount() const { return model_->Cols(); }

void TExtGrid::SetColCount(int count) { model_->SetCols(count); }

int TExtGrid::RowCount() const { return model_->Rows() + 1; }

void TExtGrid::SetRowCount(int count)
{
    model_->SetRows(count - 1);
    static_cast<VetoSelection *>(selectionModel())->StartOnFirstRow();
}

int TExtGrid::Row() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : 1;
}

void TExtGrid::SetRow(int row)
{
    if (row < 1 || row >= RowCount()) return;
    const int col = std::max(currentIndex().column(), 0);
    selectionModel()->setCurrentIndex(model_->index(row - 1, col), QItemSelectionModel::NoUpdate);
}

void TExtGrid::SetColWidth(int col, int width) { setColumnWidth(col, width); }

int TExtGrid::DefaultRowHeight() const { return verticalHeader()->defaultSectionSize(); }

void TExtGrid::SetDefaultRowHeight(int height) { verticalHeader()->setDefaultSectionSize(height); }

TExtGrid::TCellView TExtGrid::CellView(int col, int row)
{
    canvas_ = {false, palette().color(row == Row() ? QPalette::HighlightedText : QPalette::Text)};
    std::string text;
    if (!OnGetCell) return {text, canvas_.Bold, canvas_.Color};
    // Cells are asked for while the grid paints: a failing owner leaves the cell empty, and its first error is
    // reported once the painting is over.
    try {
        OnGetCell(*this, col, row, text);
    } catch (const std::exception &e) {
        text.clear();
        ReportLater(e.what());
    } catch (...) {
        text.clear();
        ReportLater("Unknown error");
    }
    return {text, canvas_.Bold, canvas_.Color};
}

void TExtGrid::ReportLater(const std::string &text)
{
    if (errorReported_) return;
    errorReported_ = true;
    QMetaObject::invokeMethod(this, [text] { ShowErrorReport(text); }, Qt::QueuedConnection);
}

void TExtGrid::Invalidate()
{
    viewport()->update();
    horizontalHeader()->viewport()->update();
}

void TExtGrid::FitRowHeightToFont() { SetDefaultRowHeight(std::abs(QFontInfo(font()).pixelSize()) + 5); }

void TExtGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FitRowHeightToFont();
        Invalidate();
    }
}

void TExtGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    emit DblClick();
}
