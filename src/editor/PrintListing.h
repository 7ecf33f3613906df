#pragma once
// The configuration listing: every page of the template followed by its shown entries, as the printer lays it
// out and as the text file holds it.

#include <string>
#include <vector>

class TTemplate;

enum class TListingKind { Page, Group, Parameter };

// One line of the listing.
struct TListingLine {
    TListingKind Kind = TListingKind::Page;
    std::string Name;      // the page's, the group header's or the parameter's name
    std::string Value;     // parameter: the value text
    std::string Command;   // parameter: code bytes and value byte in readable form, a blank as "<Space>"
};

// The texts above and below the listing.
struct TListingHeader {
    std::string Identification;   // the reader's identification, or the model text when there is none
    std::string TemplateName;     // the current template file name in upper case
    std::string SerNum;
    std::string Customer;
};

// The lines of the listing: each page, then its visible entries, in template order.
std::vector<TListingLine> ListingLines(const TTemplate &tpl);

// The header texts from the reader link and the settings.
TListingHeader CurrentListingHeader();

// The text file's bytes: a title line of 70 characters, a rule of "=", then one line per listing line; every
// line ends with CR LF.
std::string TextListing(const TListingHeader &header, const std::vector<TListingLine> &lines);

// Replaces the file with the listing; a failed write leaves any earlier file as it was and raises
// "Can't write to " + path.
void WriteTextListing(const std::string &path, const std::string &listing);
