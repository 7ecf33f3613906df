#include "PrinterCanvas.h"

#include "DatabaseWindow.h"
#include "OleDate.h"
#include "platform/qt/Cp1252.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPen>
#include <QPointer>
#include <QPrinter>

#include <stdexcept>

TPrinterCanvas::TPrinterCanvas(QPrinter &printer) : printer_(printer), font_(QGuiApplication::font())
{
    font_.setFamilies({QStringLiteral("Arial")});
}

int TPrinterCanvas::PageWidth() const { return printer_.width(); }

int TPrinterCanvas::PageHeight() const { return printer_.height(); }

void TPrinterCanvas::SetBold(bool bold)
{
    font_.setBold(bold);
    if (painter_.isActive()) painter_.setFont(font_);
}

int TPrinterCanvas::TextWidth(const std::string &text) const
{
    return QFontMetrics(font_, &printer_).horizontalAdvance(FromCp1252(text));
}

int TPrinterCanvas::TextHeight(const std::string &) const { return QFontMetrics(font_, &printer_).height(); }

void TPrinterCanvas::TextOut(int x, int y, const std::string &text)
{
    painter_.drawText(x, y + QFontMetrics(font_, &printer_).ascent(), FromCp1252(text));
}

void TPrinterCanvas::Line(int x1, int y1, int x2, int y2, int width)
{
    painter_.setPen(QPen(Qt::black, width));
    painter_.drawLine(x1, y1, x2, y2);
}

void TPrinterCanvas::BeginDoc()
{
    if (!painter_.begin(&printer_)) Fail();
    painter_.setFont(font_);
}

void TPrinterCanvas::NewPage()
{
    if (!printer_.newPage()) Fail();
}

void TPrinterCanvas::EndDoc()
{
    if (!painter_.end() || printer_.printerState() == QPrinter::Error) Fail();
}

void TPrinterCanvas::Fail() const
{
    const QString target = printer_.outputFileName().isEmpty() ? printer_.printerName() : printer_.outputFileName();
    throw std::runtime_error("Can't print to " + ToCp1252(target));
}

namespace {

class PrinterHolder : public QObject {
public:
    using QObject::QObject;
    QPrinter printer {QPrinter::HighResolution};
};

} // namespace

QPrinter &ListingPrinter()
{
    static QPointer<PrinterHolder> holder;
    if (!holder) holder = new PrinterHolder(QCoreApplication::instance());
    return holder->printer;
}

int32_t PrinterSheetCount(QPrinter &printer, std::size_t lineCount)
{
    TPrinterCanvas canvas(printer);
    return TConfigPrinter(canvas, {}, {}).SheetCount(lineCount);
}

void PrintListing(QPrinter &printer, const TListingHeader &header, const std::vector<TListingLine> &lines)
{
    TPageRange range;
    if (printer.printRange() == QPrinter::PageRange) range = {printer.fromPage(), printer.toPage()};
    TPrinterCanvas canvas(printer);
    TConfigPrinter(canvas, header, DbDateTimeText(OleDateNow())).Print(lines, range);
}
