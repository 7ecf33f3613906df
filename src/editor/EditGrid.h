#pragma once
// The editor's two-column grid. It holds no data: its owner tells it what each cell shows, and it draws group
// headers as bars across both columns, names as plain text and values on white with an optional "..." button.

#include <QColor>
#include <QTableView>

#include <functional>
#include <string>

enum class TCellKind { Blank, Header, Name, Value };

struct TGridCell {
    TCellKind Kind = TCellKind::Blank;
    std::string Text;          // bytes; converted only when drawn
    QColor Colour = Qt::black;
    bool Button = false;       // a value cell with the "..." button at its right end
};

class TEditGridModel;

class TEditGrid : public QTableView {
    Q_OBJECT
public:
    using CellSource = std::function<TGridCell(int col, int row)>;

    explicit TEditGrid(CellSource source, QWidget *parent = nullptr);

    int RowCount() const;
    // Sets the number of rows and asks for every cell again; header rows span both columns. The current row
    // stays where it is when it still exists.
    void SetRowCount(int count);
    int Row() const;   // the current row; -1 when there is none
    int Col() const;
    // Makes (1, row) the current cell when the row exists.
    void SetRow(int row);
    QRect CellRect(int col, int row) const;   // viewport coordinates

    // The "..." button of a value cell: a square at the right end, inside the text inset.
    static QRect ButtonRect(const QRect &cell);
    // A click at x counts as a press of the cell's button.
    static bool InButton(const QRect &cell, int x);

private:
    CellSource source_;
    TEditGridModel *model_;
};
