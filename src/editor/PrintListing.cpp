#include "PrintListing.h"

#include "common/BsTypes.h"
#include "common/ByteDisplay.h"
#include "link/ReaderLink.h"
#include "model/Settings.h"
#include "model/Template.h"
#include "platform/FileContents.h"
#include "platform/Text.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kLineWidth = 70;
constexpr int kNameWidth = 30;    // the value starts after this column
constexpr int kValueWidth = 55;   // the command starts after this column
const char *const kLineEnd = "\r\n";

// Identification from column 1, the template name ending in the last column and written over it; nothing
// beyond the line's width.
std::string TitleLine(const TListingHeader &header)
{
    std::string line(kLineWidth, ' ');
    PutStr(line.data(), line.size(), header.Identification, 0);
    const std::size_t nameStart = std::size_t(std::max(0, kLineWidth - int(header.TemplateName.size())));
    PutStr(line.data(), line.size(), header.TemplateName, nameStart);
    return line;
}

void WritePageTitle(std::string &out, const TListingLine &page)
{
    out += PadRight(page.Name, '_', kLineWidth) + kLineEnd;
}

void WriteEntry(std::string &out, const TListingLine &entry)
{
    if (entry.Kind == TListingKind::Group) {
        out += "  " + entry.Name + kLineEnd;
        return;
    }
    const std::string name = PadRight("    " + entry.Name, ' ', kNameWidth);
    out += PadRight(name + entry.Value, ' ', kValueWidth) + entry.Command + kLineEnd;
}

} // namespace

std::vector<TListingLine> ListingLines(const TTemplate &tpl)
{
    std::vector<TListingLine> lines;
    for (int32_t p = 0; p < tpl.PageCount(); ++p) {
        const TTplPag &page = tpl.Pages(p);
        lines.push_back({TListingKind::Page, page.Name.str(), {}, {}});
        for (int32_t i = 0; i < page.VisibleCount(); ++i) {
            const TTplEnt &entry = page.Visible(i);
            if (entry.Kind == trHdr)
                lines.push_back({TListingKind::Group, entry.Name.str(), {}, {}});
            else
                lines.push_back({TListingKind::Parameter, entry.Name.str(), entry.ValueText.str(),
                                 BytesToDisplay(entry.Code.str() + char(entry.Value), "<Space>")});
        }
    }
    return lines;
}

TListingHeader CurrentListingHeader()
{
    TListingHeader header;
    header.Identification = CommDM ? CommDM->DeviceId.str() : std::string();
    if (header.Identification.empty()) header.Identification = Settings.Model.str();
    header.TemplateName = UpperCase(Settings.DefTpl);
    header.SerNum = Settings.SerNum.str();
    header.Customer = Settings.Customer.str();
    return header;
}

std::string TextListing(const TListingHeader &header, const std::vector<TListingLine> &lines)
{
    std::string out = TitleLine(header) + kLineEnd;
    out += FillStr('=', kLineWidth) + kLineEnd;
    for (const TListingLine &line : lines) {
        if (line.Kind == TListingKind::Page)
            WritePageTitle(out, line);
        else
            WriteEntry(out, line);
    }
    return out;
}

void WriteTextListing(const std::string &path, const std::string &listing)
{
    if (!WriteFileAtomically(path, listing)) throw std::runtime_error("Can't write to " + path);
}
