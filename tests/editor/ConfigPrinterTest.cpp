// The printed listing: sheets, header, body and footer on a canvas with fixed metrics, page ranges, and the
// listing printed through the printer to a PDF file.

#include "EditFixture.h"
#include "TempDir.h"

#include "editor/ConfigPrinter.h"
#include "editor/PrinterCanvas.h"

#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace {

// Every character 10 units wide (12 in bold), text 40 high: lines 50 apart. A page 1000 x 650 holds
// 650 div 50 - 3 = 10 lines: the header, nine body lines and the footer.
class FakeCanvas final : public TPrintCanvas {
public:
    struct Op {
        std::string text;   // empty for a line
        int x, y, x2 = 0, y2 = 0;
        bool bold = false;
        int width = 0;
        bool operator==(const Op &) const = default;
    };

    explicit FakeCanvas(int height = 650) : height_(height) {}

    int PageWidth() const override { return 1000; }
    int PageHeight() const override { return height_; }
    void SetBold(bool bold) override { bold_ = bold; }
    int TextWidth(const std::string &text) const override { return int(text.size()) * (bold_ ? 12 : 10); }
    int TextHeight(const std::string &) const override { return 40; }
    void TextOut(int x, int y, const std::string &text) override { sheets.back().push_back({text, x, y, 0, 0, bold_, 0}); }
    void Line(int x1, int y1, int x2, int y2, int width) override
    {
        sheets.back().push_back({"", x1, y1, x2, y2, false, width});
    }
    void BeginDoc() override { sheets.emplace_back(); }
    void NewPage() override { sheets.emplace_back(); }
    void EndDoc() override { ++ended; }

    // The texts drawn on a sheet, in drawing order.
    std::vector<std::string> texts(std::size_t sheet) const
    {
        std::vector<std::string> out;
        for (const Op &op : sheets.at(sheet))
            if (!op.text.empty()) out.push_back(op.text);
        return out;
    }
    const Op *find(std::size_t sheet, const std::string &text) const
    {
        for (const Op &op : sheets.at(sheet))
            if (op.text == text) return &op;
        return nullptr;
    }

    std::vector<std::vector<Op>> sheets;
    int ended = 0;

private:
    int height_;
    bool bold_ = false;
};

const TListingHeader kHeader {"M100 V1.2", "M100.TPL", "4711", "ACME"};
const char *const kPrintedAt = "09.12.2024 10:11:12";

TListingLine parameter(const std::string &name)
{
    return {TListingKind::Parameter, name, "On", "<ESC>AB<Space>"};
}

// `pages` pages of `perPage` parameters each, named "P<page>.<n>".
std::vector<TListingLine> listing(int pages, int perPage)
{
    std::vector<TListingLine> lines;
    for (int p = 1; p <= pages; ++p) {
        lines.push_back({TListingKind::Page, "Page" + std::to_string(p), {}, {}});
        for (int n = 1; n <= perPage; ++n) lines.push_back(parameter("P" + std::to_string(p) + "." + std::to_string(n)));
    }
    return lines;
}

std::vector<std::string> footerPages(const FakeCanvas &canvas)
{
    std::vector<std::string> pages;
    for (std::size_t s = 0; s < canvas.sheets.size(); ++s)
        for (const std::string &t : canvas.texts(s))
            if (t.rfind("Page ", 0) == 0) pages.push_back(t);
    return pages;
}

// The names of the parameters drawn on a sheet.
std::vector<std::string> parameterNames(const FakeCanvas &canvas, std::size_t sheet)
{
    std::vector<std::string> names;
    for (const std::string &t : canvas.texts(sheet))
        if (t.rfind("P", 0) == 0 && t.find('.') != std::string::npos) names.push_back(t);
    return names;
}

int pdfPageCount(const std::string &bytes)
{
    const std::regex page(R"(/Type\s*/Page[^s])");
    return int(std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), page), std::sregex_iterator()));
}

} // namespace

TEST(ConfigPrinterTest, SheetLayout)
{
    FakeCanvas canvas;
    TConfigPrinter printer(canvas, kHeader, kPrintedAt);
    EXPECT_EQ(printer.LineHeight, 50);
    EXPECT_EQ(printer.LinesPerPage, 10);
    const std::vector<TListingLine> lines {{TListingKind::Page, "General", {}, {}},
                                           {TListingKind::Group, "Beeper", {}, {}},
                                           parameter("Beep")};
    printer.Print(lines, {});
    EXPECT_EQ(printer.LeftMargin, 50);
    EXPECT_EQ(printer.ValueColumn, 300);
    EXPECT_EQ(printer.CommandColumn, 500);
    ASSERT_EQ(canvas.sheets.size(), 1u);
    EXPECT_EQ(canvas.ended, 1);

    using Op = FakeCanvas::Op;
    const std::vector<Op> expected {
        // header, bold: serial number at the margin, identification centred, template name right-aligned
        {"S.N. 4711", 50, 50, 0, 0, true},
        {"M100 V1.2", (1000 - 9 * 12) / 2, 50, 0, 0, true},
        {"M100.TPL", 950 - 8 * 12, 50, 0, 0, true},
        {"", 50, 97, 950, 97, false, 3},
        // line 1: the page's rule along the bottom of its slot; line 2: the group; line 3: the parameter
        {"", 50, 147, 950, 147, false, 3},
        {"Beeper", 50 + 2 * 12, 150, 0, 0, true},
        {"Beep", 90, 200},
        {"On", 300, 200},
        {"<ESC>AB<Space>", 500, 200},
        // footer at (10 + 1) * 50 + 2, below a rule that falls by 2
        {"", 50, 548, 950, 550, false, 3},
        {kPrintedAt, 50, 552, 0, 0, true},
        {"Page 1", 950 - 6 * 12, 552, 0, 0, true},
        {"ACME", (1000 - 4 * 12) / 2, 552, 0, 0, true},
    };
    EXPECT_EQ(canvas.sheets[0], expected);
}

TEST(ConfigPrinterTest, SheetsHoldNineLinesAndEachEndsWithAFooter)
{
    struct Case {
        int pages, perPage, sheets;
    } cases[] = {
        {1, 8, 1},    // nine lines fill one sheet exactly: no sheet with only a header follows
        {1, 9, 2},    // the tenth line goes to a second sheet
        {2, 8, 2},
        {2, 9, 3},
        {0, 0, 1},    // an empty template: a header alone
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.pages) + " x " + std::to_string(c.perPage));
        FakeCanvas canvas;
        TConfigPrinter printer(canvas, kHeader, kPrintedAt);
        const std::vector<TListingLine> lines = listing(c.pages, c.perPage);
        EXPECT_EQ(printer.SheetCount(lines.size()), c.sheets);
        printer.Print(lines, {});
        ASSERT_EQ(int(canvas.sheets.size()), c.sheets);
        std::vector<std::string> pages;
        for (int s = 1; s <= (lines.empty() ? 0 : c.sheets); ++s) pages.push_back("Page " + std::to_string(s));
        EXPECT_EQ(footerPages(canvas), pages);
        for (std::size_t s = 0; s < canvas.sheets.size(); ++s) {
            EXPECT_EQ(canvas.texts(s).at(0), "S.N. 4711");
            for (const FakeCanvas::Op &op : canvas.sheets[s]) EXPECT_LE(op.y, 552) << op.text;
        }
    }
}

TEST(ConfigPrinterTest, OnlyTheSheetsOfTheRangeAreDrawn)
{
    // Three pages of ten parameters: 33 lines on four sheets. Sheet 2 holds lines 10 to 18 (P1.9, P1.10, Page2,
    // P2.1 to P2.6), sheet 3 lines 19 to 27 (P2.7 to P2.10, Page3, P3.1 to P3.4).
    const std::vector<TListingLine> lines = listing(3, 10);
    struct Case {
        TPageRange range;
        std::vector<std::string> footers;
        std::string firstName;   // the first parameter on the first sheet drawn, and its y
        int firstY;
    } cases[] = {
        {{2, 2}, {"Page 2"}, "P1.9", 100},
        {{2, 3}, {"Page 2", "Page 3"}, "P1.9", 100},
        {{1, 1}, {"Page 1"}, "P1.1", 150},
        {{3, 4}, {"Page 3", "Page 4"}, "P2.7", 100},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.footers.front());
        FakeCanvas canvas;
        TConfigPrinter(canvas, kHeader, kPrintedAt).Print(lines, c.range);
        ASSERT_EQ(canvas.sheets.size(), c.footers.size());
        EXPECT_EQ(footerPages(canvas), c.footers);
        EXPECT_EQ(canvas.texts(0).at(0), "S.N. 4711");
        const std::vector<std::string> names = parameterNames(canvas, 0);
        ASSERT_FALSE(names.empty());
        EXPECT_EQ(names.front(), c.firstName);
        EXPECT_EQ(canvas.find(0, c.firstName)->y, c.firstY);
        EXPECT_EQ(names.size(), 8u);   // nine body lines, one of them a page's rule
    }
}

TEST(ConfigPrinterTest, ShortPageStillTurnsAfterEachLine)
{
    // 150 div 50 - 3 would leave no body line: a sheet holds one.
    FakeCanvas canvas(150);
    TConfigPrinter printer(canvas, kHeader, kPrintedAt);
    EXPECT_EQ(printer.LinesPerPage, 2);
    EXPECT_EQ(printer.SheetCount(3), 3);
    printer.Print(listing(1, 2), {});
    EXPECT_EQ(canvas.sheets.size(), 3u);
}

class PdfPrintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(dir.file("listing.pdf")));
        // A small sheet, so that a short listing needs several.
        printer.setPageSize(QPageSize(QSizeF(80, 60), QPageSize::Millimeter, "small"));
    }

    testsupport::TempDir dir;
    QPrinter printer {QPrinter::HighResolution};
};

TEST_F(PdfPrintTest, PrintsTheSheetsTheListingNeeds)
{
    const std::vector<TListingLine> lines = listing(3, 6);
    TPrinterCanvas canvas(printer);
    const int perSheet = TConfigPrinter(canvas, {}, {}).LinesPerPage - 1;
    const int sheets = (int(lines.size()) + perSheet - 1) / perSheet;
    ASSERT_GE(sheets, 2) << "lines per sheet " << perSheet;
    EXPECT_EQ(PrinterSheetCount(printer, lines.size()), sheets);

    PrintListing(printer, kHeader, lines);
    EXPECT_EQ(pdfPageCount(dir.read("listing.pdf")), sheets);

    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 2);
    PrintListing(printer, kHeader, lines);
    EXPECT_EQ(pdfPageCount(dir.read("listing.pdf")), 1);
}

TEST_F(PdfPrintTest, RefusedOutputIsReported)
{
    const std::string path = dir.file("missing/listing.pdf");
    printer.setOutputFileName(QString::fromStdString(path));
    try {
        PrintListing(printer, kHeader, listing(1, 2));
        FAIL() << "no error";
    } catch (const std::runtime_error &e) {
        EXPECT_EQ(std::string(e.what()), "Can't print to " + path);
    }
}

class PrintDialogTest : public EditFixture {};

TEST_F(PrintDialogTest, ButtonAndMenuOfferEverySheetOfTheListing)
{
    openEditor();
    const int sheets = PrinterSheetCount(ListingPrinter(), ListingLines(tpl).size());
    const std::function<void()> starts[] = {[&] { form->PrintBtn->click(); }, [&] { form->Printer1->trigger(); }};
    for (const auto &start : starts) {
        int minPage = -1, maxPage = -1, fromPage = -1, toPage = -1;
        bool pageRange = false;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            minPage = dialog->minPage();
            maxPage = dialog->maxPage();
            fromPage = dialog->printer()->fromPage();
            toPage = dialog->printer()->toPage();
            pageRange = dialog->testOption(QAbstractPrintDialog::PrintPageRange);
            dialog->reject();   // cancelled: nothing is printed
        });
        start();
        EXPECT_TRUE(pageRange);
        EXPECT_EQ(minPage, 1);
        EXPECT_EQ(maxPage, sheets);
        EXPECT_EQ(fromPage, 1);
        EXPECT_EQ(toPage, sheets);
    }
    EXPECT_TRUE(ui.log().empty());
}

TEST_F(PrintDialogTest, ThePrinterChosenStaysForTheNextPrint)
{
    openEditor();
    const std::string pdf = dir.file("chosen.pdf");
    // The first print: the user picks a file to print to.
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit *>("filename")->setText(QString::fromStdString(pdf));
        dialog->accept();
    });
    form->PrintBtn->click();
    ASSERT_GT(pdfPageCount(dir.read("chosen.pdf")), 0);

    // The next print offers that choice again and prints there.
    std::filesystem::remove(pdf);
    QString offered;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        offered = dialog->findChild<QLineEdit *>("filename")->text();
        if (offered.toStdString() == pdf)
            dialog->accept();
        else
            dialog->reject();
    });
    form->Printer1->trigger();
    EXPECT_EQ(offered.toStdString(), pdf);
    EXPECT_TRUE(std::filesystem::exists(pdf));
    EXPECT_TRUE(ui.log().empty());
}
