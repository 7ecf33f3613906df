#pragma once
// The printed configuration listing: sheets with a header (serial number, identification, template name), the
// listing's lines (a rule where a page begins; group headers, parameters with value and command) and a footer
// (date and time, customer, page number). Pages outside the chosen range are laid out but not drawn.

#include "PrintListing.h"

#include <cstdint>
#include <string>
#include <vector>

// What the listing is drawn on, in device units; y grows downward, texts are placed by their top left corner.
class TPrintCanvas {
public:
    virtual ~TPrintCanvas() = default;
    virtual int PageWidth() const = 0;
    virtual int PageHeight() const = 0;
    virtual void SetBold(bool bold) = 0;
    virtual int TextWidth(const std::string &text) const = 0;
    virtual int TextHeight(const std::string &text) const = 0;
    virtual void TextOut(int x, int y, const std::string &text) = 0;
    virtual void Line(int x1, int y1, int x2, int y2, int width) = 0;
    virtual void BeginDoc() = 0;
    virtual void NewPage() = 0;
    virtual void EndDoc() = 0;
};

// The sheets to print, counted from 1; From 0 prints every sheet.
struct TPageRange {
    int32_t From = 0;
    int32_t To = 0;
};

class TConfigPrinter {
public:
    // Sets the font's line height and the lines a sheet holds from the canvas.
    TConfigPrinter(TPrintCanvas &canvas, TListingHeader header, std::string printedAt);

    // The sheets a listing of that many lines fills; at least 1.
    int32_t SheetCount(std::size_t lineCount) const;
    // Prints the document: the sheets of the range, each begun only when it is drawn.
    void Print(const std::vector<TListingLine> &lines, TPageRange range);

    int32_t LineHeight = 0;
    int32_t LinesPerPage = 0;   // a sheet's body holds one line less
    int32_t LeftMargin = 0;     // also the right margin
    int32_t ValueColumn = 0;
    int32_t CommandColumn = 0;
    bool PagePrinted = false;   // the sheet being laid out lies in the range

private:
    void PrintPageHeader(int32_t page);
    void PrintSeparator(int32_t line);
    void PrintEntry(int32_t line, const TListingLine &entry);
    void PrintNextLine(int32_t &page, int32_t &line);
    void PrintPageFooter(int32_t page);
    bool InRange(int32_t page) const;
    void TextCentred(int y, const std::string &text);
    void TextRight(int y, const std::string &text);
    void Rule(int x1, int y1, int x2, int y2);

    TPrintCanvas &canvas_;
    TListingHeader header_;
    std::string printedAt_;
    TPageRange range_;
};
