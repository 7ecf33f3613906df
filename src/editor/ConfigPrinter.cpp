#include "ConfigPrinter.h"

#include "common/BsTypes.h"
#include "platform/Text.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::size_t kHeaderTextMax = 50;
constexpr int kRuleWidth = 3;

} // namespace

TConfigPrinter::TConfigPrinter(TPrintCanvas &canvas, TListingHeader header, std::string printedAt)
    : canvas_(canvas), header_(std::move(header)), printedAt_(std::move(printedAt))
{
    canvas_.SetBold(false);
    LineHeight = std::max(1, int32_t(std::lround(canvas_.TextHeight("Aq") * 5.0 / 4.0)));
    // Room for the header, the footer and at least one body line.
    LinesPerPage = std::max(2, canvas_.PageHeight() / LineHeight - 3);
}

int32_t TConfigPrinter::SheetCount(std::size_t lineCount) const
{
    const std::size_t perSheet = std::size_t(LinesPerPage - 1);
    return std::max(int32_t(1), int32_t((lineCount + perSheet - 1) / perSheet));
}

void TConfigPrinter::Print(const std::vector<TListingLine> &lines, TPageRange range)
{
    range_ = range;
    canvas_.BeginDoc();
    canvas_.SetBold(false);
    LeftMargin = canvas_.TextWidth("MMMMM");
    ValueColumn = LeftMargin + canvas_.TextWidth(FillStr('M', 25));
    CommandColumn = ValueColumn + canvas_.TextWidth(FillStr('M', 20));

    int32_t page = 1, line = 1;
    PrintPageHeader(page);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // The sheet turns only when another line follows, so the last sheet always has lines and a footer.
        if (i > 0) PrintNextLine(page, line);
        if (lines[i].Kind == TListingKind::Page)
            PrintSeparator(line);
        else
            PrintEntry(line, lines[i]);
    }
    if (!lines.empty()) PrintPageFooter(page);
    canvas_.EndDoc();
}

bool TConfigPrinter::InRange(int32_t page) const
{
    return range_.From == 0 || (range_.From <= page && page <= range_.To);
}

void TConfigPrinter::PrintPageHeader(int32_t page)
{
    PagePrinted = InRange(page);
    if (!PagePrinted) return;
    canvas_.SetBold(true);
    const int y = LineHeight;
    canvas_.TextOut(LeftMargin, y, Cut("S.N. " + header_.SerNum, kHeaderTextMax));
    TextCentred(y, Cut(header_.Identification, kHeaderTextMax));
    TextRight(y, Cut(header_.TemplateName, kHeaderTextMax));
    Rule(LeftMargin, 2 * LineHeight - 3, canvas_.PageWidth() - LeftMargin, 2 * LineHeight - 3);
}

void TConfigPrinter::PrintSeparator(int32_t line)
{
    // The rule along the bottom of the line's slot marks where a page begins; its name is not printed.
    if (!PagePrinted) return;
    const int y = (line + 2) * LineHeight - 3;
    Rule(LeftMargin, y, canvas_.PageWidth() - LeftMargin, y);
}

void TConfigPrinter::PrintEntry(int32_t line, const TListingLine &entry)
{
    if (!PagePrinted) return;
    const int y = (line + 1) * LineHeight;
    const bool group = entry.Kind == TListingKind::Group;
    canvas_.SetBold(group);
    canvas_.TextOut(LeftMargin + canvas_.TextWidth(group ? "MM" : "MMMM"), y, entry.Name);
    if (!group) {
        canvas_.TextOut(ValueColumn, y, entry.Value);
        canvas_.TextOut(CommandColumn, y, entry.Command);
    }
    canvas_.SetBold(false);
}

void TConfigPrinter::PrintNextLine(int32_t &page, int32_t &line)
{
    if (line >= LinesPerPage - 1) {
        PrintPageFooter(page);
        ++page;
        if (PagePrinted && InRange(page)) canvas_.NewPage();
        line = 0;
        PrintPageHeader(page);
    }
    ++line;
}

void TConfigPrinter::PrintPageFooter(int32_t page)
{
    if (!PagePrinted) return;
    canvas_.SetBold(true);
    const int y = (LinesPerPage + 1) * LineHeight + 2;
    Rule(LeftMargin, y - 4, canvas_.PageWidth() - LeftMargin, y - 2);
    canvas_.TextOut(LeftMargin, y, Cut(printedAt_, kHeaderTextMax));
    TextRight(y, Cut("Page " + std::to_string(page), kHeaderTextMax));
    TextCentred(y, Cut(header_.Customer, kHeaderTextMax));
}

void TConfigPrinter::TextCentred(int y, const std::string &text)
{
    canvas_.TextOut((canvas_.PageWidth() - canvas_.TextWidth(text)) / 2, y, text);
}

void TConfigPrinter::TextRight(int y, const std::string &text)
{
    canvas_.TextOut(canvas_.PageWidth() - LeftMargin - canvas_.TextWidth(text), y, text);
}

void TConfigPrinter::Rule(int x1, int y1, int x2, int y2) { canvas_.Line(x1, y1, x2, y2, kRuleWidth); }
