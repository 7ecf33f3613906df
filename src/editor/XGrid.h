#pragma once
// A grid that draws its own cell texts: row 0 shows the column captions of a list of header lines, each with its
// own horizontal alignment; every other row asks its owner for the cell's text. Rows are counted as the owner
// sees them: row 0 is the caption row, data rows start at 1, and RowCount includes the caption row.

#include <QColor>
#include <QTableView>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class ExtGridModel;

class TExtGrid : public QTableView {
    Q_OBJECT
public:
    // The handler writes the text (Windows-1252 bytes) of cell (ACol, ARow), ARow >= 1, into CellStr; it may set
    // CanvasFont() for that cell's text.
    using TExtGetCellEvent = std::function<void(TExtGrid &Sender, int ACol, int ARow, std::string &CellStr)>;
    // Whether cell (ACol, ARow) may become the current cell; refused, the current cell stays.
    using TSelectCellEvent = std::function<bool(int ACol, int ARow)>;

    // Alignment codes of the header lines.
    enum : int { AlignLeftCode = 0, AlignCenterCode = 1, AlignRightCode = 2 };

    struct TCanvasFont {
        bool Bold = false;
        QColor Color;
    };
    struct TCellView {
        std::string Text;
        bool Bold = false;
        QColor Color;
    };

    explicit TExtGrid(QWidget *owner = nullptr);
    ~TExtGrid() override;

    TExtGetCellEvent OnGetCell;
    TSelectCellEvent OnSelectCell;

    // One line per column: the caption, optionally followed by "," and an alignment letter: "c" centred, "d"
    // right, anything else left.
    const std::vector<std::string> &Headers() const { return headers_; }
    // Takes the lines and parses their alignments again.
    void SetHeaders(const std::vector<std::string> &lines);
    // Replaces one line in place (a missing one is added, with empty lines before it); the column keeps the
    // alignment code it had.
    void SetHeaderLine(int col, std::string_view line);
    // Caption (the text before the first ",") and alignment code of a column; empty and left without a line.
    std::string Caption(int col) const;
    int Alignment(int col) const;

    int ColCount() const;
    void SetColCount(int count);
    int RowCount() const;
    void SetRowCount(int count);
    // The current row (1 while the grid has no data row).
    int Row() const;
    // Makes row `row` current, when OnSelectCell allows it.
    void SetRow(int row);
    void SetColWidth(int col, int width);
    int DefaultRowHeight() const;
    void SetDefaultRowHeight(int height);

    // What the handler sets while it supplies a cell's text; reset to plain and the row's text colour first.
    TCanvasFont &CanvasFont() { return canvas_; }
    // Text, style and colour of a cell below the caption row, as it is drawn. An error of the owner's handler
    // leaves the cell empty; the first one is shown in the default error report after the current event.
    TCellView CellView(int col, int row);
    // Draws every cell again.
    void Invalidate();

signals:
    void DblClick();

protected:
    void changeEvent(QEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void ParseAlignments();
    void FitRowHeightToFont();
    void ReportLater(const std::string &text);

    ExtGridModel *model_;
    std::vector<std::string> headers_;
    std::vector<int> alignments_;
    TCanvasFont canvas_;
    bool errorReported_ = false;
};
