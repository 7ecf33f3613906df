#pragma once
// The configuration listing on a printer: its canvas in the printer's device units, and printing without a
// dialog on a printer whose settings and page range are already chosen.

#include "ConfigPrinter.h"

#include <QFont>
#include <QPainter>

class QPrinter;

class TPrinterCanvas final : public TPrintCanvas {
public:
    // The printer's default font in the face "Arial".
    explicit TPrinterCanvas(QPrinter &printer);

    int PageWidth() const override;
    int PageHeight() const override;
    void SetBold(bool bold) override;
    int TextWidth(const std::string &text) const override;
    int TextHeight(const std::string &text) const override;
    void TextOut(int x, int y, const std::string &text) override;
    void Line(int x1, int y1, int x2, int y2, int width) override;
    // Each raises an error naming the printer when the printer refuses.
    void BeginDoc() override;
    void NewPage() override;
    void EndDoc() override;

private:
    [[noreturn]] void Fail() const;

    QPrinter &printer_;
    QPainter painter_;
    QFont font_;
};

// The printer of the listing, one for the program's run: the printer and settings chosen in the print dialog stay
// for the next print. It goes with the application object.
QPrinter &ListingPrinter();
// The sheets the listing fills on the printer as it is set up now.
int32_t PrinterSheetCount(QPrinter &printer, std::size_t lineCount);
// Prints the listing on the printer, the sheets of its page range only; the footer shows the time of printing.
void PrintListing(QPrinter &printer, const TListingHeader &header, const std::vector<TListingLine> &lines);
