#include "serial/SerStringTables.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

void Put32(std::vector<unsigned char> &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// A table in the raw layout, built here independently of the generator.
std::vector<unsigned char> MakeTable(const std::vector<std::pair<int32_t, std::string>> &texts)
{
    std::vector<unsigned char> out {'S', 'T', 'R', '0'};
    Put32(out, uint32_t(texts.size()));
    uint32_t offset = uint32_t(8 + 12 * texts.size());
    for (const auto &[id, text] : texts) {
        Put32(out, uint32_t(id));
        Put32(out, offset);
        Put32(out, uint32_t(text.size()));
        offset += uint32_t(2 * text.size());
    }
    for (const auto &[id, text] : texts)
        for (char c : text) {
            out.push_back(static_cast<unsigned char>(c));
            out.push_back(0);
        }
    return out;
}

TSerResourceModule ModuleWith(const std::vector<unsigned char> &bytes)
{
    return TSerResourceModule {{{"TEST", bytes.data(), bytes.size()}}};
}

std::string ErrorOf(const std::vector<unsigned char> &bytes)
{
    const TSerResourceModule module = ModuleWith(bytes);
    try {
        TSerStringResource reader(module, "TEST");
    } catch (const EStringResourceError &e) {
        return e.what();
    }
    return "(no error)";
}

// The ids of the error-text table, as ranges.
const char *const ErrorTableIds =
    "0, 2-6, 8, 15, 18, 100-105, 150-162, 1001-1009, 2001-2012, 3001-3010, 4001-4008, 4101, 4201-4213, "
    "4301-4312, 4401-4403, 5001-5003, 5501-5506, 6001-6015, 7001-7014, 8001-8005, 8050-8055, 8060-8074, "
    "8080-8092, 9001-9007, 10004, 10009, 10013-10014, 10022, 10024, 10035-10071, 10091-10093, 10101, "
    "11001-11004, 13501-13516, 13533-13557, 13565, 13597-13601, 13650-13670, 13801-13803, 13805-13848, "
    "13850-13886, 13928-13945, 15001-15020, 15101-15351, 15501-15502, 15601-15608, 15700-15742";

std::vector<int32_t> ExpandIds(const std::string &list)
{
    std::vector<int32_t> ids;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        const size_t dash = item.find('-');
        const int32_t first = std::stoi(item.substr(0, dash));
        const int32_t last = dash == std::string::npos ? first : std::stoi(item.substr(dash + 1));
        for (int32_t id = first; id <= last; ++id)
            ids.push_back(id);
    }
    return ids;
}

} // namespace

TEST(StringTables, ResMgrTableHasTheExactLayout)
{
    const auto *resource = SerLibraryModule().Find("SER_RESMGR_STRINGS");
    ASSERT_NE(resource, nullptr);
    const std::vector<unsigned char> expected = MakeTable({{1, "String not found: %d"},
                                                           {2, "Cannot lock resource"},
                                                           {3, "String resource not found: %s"},
                                                           {4, "Unable to open string resource: %s"},
                                                           {5, "Invalid ZmString resource"}});
    ASSERT_EQ(expected.size(), 324u);
    EXPECT_EQ(std::vector<unsigned char>(resource->data, resource->data + resource->size), expected);
}

TEST(StringTables, ErrorTableHoldsExactlyTheListedIds)
{
    const auto *resource = SerLibraryModule().Find("SER_ERROR_STRINGS_ENGLISH");
    ASSERT_NE(resource, nullptr);
    const std::vector<int32_t> ids = ExpandIds(ErrorTableIds);
    ASSERT_EQ(ids.size(), 725u);
    const unsigned char *data = resource->data;
    ASSERT_EQ(data[4] | data[5] << 8, 725);
    for (size_t i = 0; i < ids.size(); ++i) {
        const unsigned char *entry = data + 8 + 12 * i;
        ASSERT_EQ(int32_t(entry[0] | entry[1] << 8 | entry[2] << 16 | uint32_t(entry[3]) << 24), ids[i]);
        EXPECT_NE(SerErrorStrings().GetString(ids[i]), "") << "id " << ids[i];
    }
}

TEST(StringTables, QuotedTextsAndMissingIds)
{
    const TSerStringResource &table = SerErrorStrings();
    const std::pair<int32_t, const char *> cases[] = {
        {0, "OK"},
        {1, ""},
        {7, ""},
        {2001, "ie_BadId - Specified comport doesn't exist"},
        {2011, "The ComNumber property of the TSerComPort has not been set"},
        {3006, "Output buffer too small for block"},
        {15121, "Sent WON'T"},
        {15501, "Time      Type      SubType       Data      OtherData"},
        {15601, "DCTS "},
        {99999, ""},
    };
    for (const auto &[id, text] : cases)
        EXPECT_EQ(table.GetString(id), text) << "id " << id;
    EXPECT_NE(table.GetString(15742), "");
}

TEST(StringTables, BinarySearchFindsFirstAndLastOfSmallTables)
{
    for (const auto &texts : std::vector<std::vector<std::pair<int32_t, std::string>>> {
             {{7, "only"}}, {{-4, "first"}, {9, "last"}}, {{1, ""}, {2, "b"}, {3, "c"}}}) {
        const std::vector<unsigned char> bytes = MakeTable(texts);
        const TSerResourceModule module = ModuleWith(bytes);
        TSerStringResource reader(module, "TEST");
        for (const auto &[id, text] : texts)
            EXPECT_EQ(reader.GetString(id), text);
        EXPECT_EQ(reader.GetString(texts.back().first + 1), "");
    }
    const std::vector<unsigned char> empty = MakeTable({});
    const TSerResourceModule module = ModuleWith(empty);
    EXPECT_EQ(TSerStringResource(module, "TEST").GetString(0), "");
}

TEST(StringTables, MalformedTablesRaiseInsteadOfReadingOutside)
{
    const std::vector<unsigned char> good = MakeTable({{1, "one"}, {2, "two"}});
    std::vector<std::vector<unsigned char>> bad;
    bad.push_back(good);
    bad.back()[3] = '1';                                        // magic "STR1"
    bad.push_back({'S', 'T', 'R'});                             // shorter than the header
    bad.push_back(std::vector<unsigned char>(good.begin(), good.begin() + 30));   // entries cut off
    bad.push_back(good);
    bad.back()[4] = 0xFF;                                       // count far beyond the data
    bad.push_back(good);
    bad.back()[8 + 12 + 4] = 0xF0;                              // second offset beyond the end
    bad.push_back(good);
    bad.back()[8 + 8] = 0x7F;                                   // first length beyond the end
    bad.push_back(good);
    bad.back()[8 + 12] = 1;                                     // ids not ascending
    bad.push_back(good);
    bad.back()[8 + 4] = 2;                                      // text offset inside the entries
    for (const auto &bytes : bad)
        EXPECT_EQ(ErrorOf(bytes), "Invalid ZmString resource");
    EXPECT_EQ(ErrorOf(good), "(no error)");
}

TEST(StringTables, MissingTableIsNamed)
{
    try {
        TSerStringResource reader(SerLibraryModule(), "NOPE");
        FAIL() << "no exception";
    } catch (const EStringResourceError &e) {
        EXPECT_STREQ(e.what(), "String resource not found: NOPE");
    }
}
