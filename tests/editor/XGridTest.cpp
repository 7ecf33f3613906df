// The extended grid: captions and alignments from the header lines, cell texts and styles from the owner, the
// row height from the font, the owner's veto on the current row, and the double click.

#include "ScriptedUi.h"
#include "editor/XGrid.h"

#include <QHeaderView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QPoint CellCenter(const TExtGrid &grid, int col, int row)
{
    return grid.visualRect(grid.model()->index(row - 1, col)).center();
}

} // namespace

TEST(ExtGrid, HeaderLinesGiveCaptionsAndAlignments)
{
    TExtGrid grid;
    grid.SetColCount(7);
    grid.SetHeaders({"Name", "Qty,c", "Price,d", "X,D", "Y, c", "Z,c,d"});

    struct Column {
        const char *caption;
        int code;
        Qt::Alignment alignment;
    };
    const Column expected[] = {
        {"Name", TExtGrid::AlignLeftCode, Qt::AlignLeft},      {"Qty", TExtGrid::AlignCenterCode, Qt::AlignHCenter},
        {"Price", TExtGrid::AlignRightCode, Qt::AlignRight},  {"X", TExtGrid::AlignLeftCode, Qt::AlignLeft},
        {"Y", TExtGrid::AlignLeftCode, Qt::AlignLeft},        {"Z", TExtGrid::AlignLeftCode, Qt::AlignLeft},
        {"", TExtGrid::AlignLeftCode, Qt::AlignLeft},   // beyond the last line
    };
    for (int col = 0; col < 7; ++col) {
        const Column &c = expected[col];
        EXPECT_EQ(grid.Caption(col), c.caption) << col;
        EXPECT_EQ(grid.Alignment(col), c.code) << col;
        EXPECT_EQ(grid.model()->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString(), c.caption) << col;
        EXPECT_EQ(grid.model()->headerData(col, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                  int(c.alignment | Qt::AlignVCenter))
            << col;
    }
}

TEST(ExtGrid, ReplacingOneHeaderLineKeepsItsAlignment)
{
    TExtGrid grid;
    grid.SetHeaders({"A", "B,d"});
    grid.SetHeaderLine(0, "New,c");
    grid.SetHeaderLine(1, "Other");
    EXPECT_EQ(grid.Caption(0), "New");
    EXPECT_EQ(grid.Alignment(0), TExtGrid::AlignLeftCode);
    EXPECT_EQ(grid.Caption(1), "Other");
    EXPECT_EQ(grid.Alignment(1), TExtGrid::AlignRightCode);

    grid.SetHeaders(grid.Headers());   // a whole new list is parsed again
    EXPECT_EQ(grid.Alignment(0), TExtGrid::AlignCenterCode);
    EXPECT_EQ(grid.Alignment(1), TExtGrid::AlignLeftCode);
}

TEST(ExtGrid, CellsBelowTheCaptionRowComeFromTheOwner)
{
    TExtGrid grid;
    grid.SetColCount(2);
    grid.SetRowCount(4);
    EXPECT_EQ(grid.model()->rowCount(), 3);
    EXPECT_EQ(grid.CellView(0, 1).Text, "");
    EXPECT_EQ(grid.model()->data(grid.model()->index(2, 1)).toString(), "");

    std::vector<std::pair<int, int>> asked;
    grid.OnGetCell = [&](TExtGrid &sender, int col, int row, std::string &text) {
        EXPECT_EQ(&sender, &grid);
        asked.emplace_back(col, row);
        text = "r" + std::to_string(row) + "c" + std::to_string(col) + "\xE9";
        if (row == 2) sender.CanvasFont() = {true, Qt::red};
    };
    EXPECT_EQ(grid.model()->data(grid.model()->index(2, 1)).toString(), QString::fromUtf8("r3c1\u00E9"));
    EXPECT_EQ(asked, (std::vector<std::pair<int, int>> {{1, 3}}));

    const TExtGrid::TCellView styled = grid.CellView(0, 2);
    EXPECT_TRUE(styled.Bold);
    EXPECT_EQ(styled.Color, QColor(Qt::red));
    // Each cell starts plain, in the text colour of its row.
    const TExtGrid::TCellView plain = grid.CellView(0, 3);
    EXPECT_FALSE(plain.Bold);
    EXPECT_EQ(plain.Color, grid.palette().color(QPalette::Text));
    EXPECT_EQ(grid.CellView(0, 1).Color, grid.palette().color(QPalette::HighlightedText));   // current row
}

TEST(ExtGrid, DefaultRowHeightFollowsTheFont)
{
    TExtGrid grid;
    QFont font = grid.font();
    font.setPixelSize(13);
    grid.setFont(font);
    EXPECT_EQ(grid.DefaultRowHeight(), 18);
    grid.SetDefaultRowHeight(16);
    EXPECT_EQ(grid.verticalHeader()->defaultSectionSize(), 16);
}

TEST(ExtGrid, OwnerDecidesWhichRowBecomesCurrent)
{
    TExtGrid grid;
    grid.resize(400, 300);
    grid.SetColCount(2);
    grid.SetRowCount(5);
    grid.show();
    std::vector<int> asked;
    grid.OnSelectCell = [&](int, int row) {
        asked.push_back(row);
        return row <= 2;
    };
    EXPECT_EQ(grid.Row(), 1);

    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCenter(grid, 1, 2));
    EXPECT_EQ(grid.Row(), 2);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCenter(grid, 1, 4));
    EXPECT_EQ(grid.Row(), 2);
    QTest::keyClick(grid.viewport(), Qt::Key_Down);
    EXPECT_EQ(grid.Row(), 2);
    grid.SetRow(1);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(asked, (std::vector<int> {2, 4, 3, 1}));
}

TEST(ExtGrid, EmptyGridStandsOnRowOneAndGrowsKeepingTheCurrentRow)
{
    TExtGrid grid;
    grid.SetRowCount(1);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Row(), 1);
    grid.SetRowCount(3);
    EXPECT_EQ(grid.Row(), 1);
    grid.SetRow(2);
    grid.SetRowCount(6);
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.RowCount(), 6);
}

TEST(ExtGrid, DoubleClickIsReported)
{
    TExtGrid grid;
    grid.resize(400, 300);
    grid.SetRowCount(3);
    grid.show();
    int clicks = 0;
    QObject::connect(&grid, &TExtGrid::DblClick, [&] { ++clicks; });
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, CellCenter(grid, 0, 2));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(grid.Row(), 2);
}

TEST(ExtGrid, FailingOwnerLeavesCellsEmptyAndIsReportedOnce)
{
    testsupport::ScriptedUi ui;
    TExtGrid grid;
    grid.resize(300, 200);
    grid.SetRowCount(4);
    grid.OnGetCell = [](TExtGrid &, int, int, std::string &text) {
        text = "partial";
        throw std::runtime_error("Cannot read CFGDB.DAT");
    };
    grid.show();
    EXPECT_EQ(grid.CellView(0, 1).Text, "");
    grid.grab();   // paints every cell
    EXPECT_TRUE(ui.warnings().empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Cannot read CFGDB.DAT"});
}
