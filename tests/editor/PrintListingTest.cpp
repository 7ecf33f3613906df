// The text listing of the configuration: its lines, the file the editor writes, and a failed write.

#include "EditFixture.h"

#include "editor/PrintListing.h"

#include <QToolButton>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

namespace {

// The editor's test template with its defaults, identification "M100 V1.2" and template "m100.tpl".
const std::string kListing =
    "M100 V1.2                                                     M100.TPL\r\n"
    "======================================================================\r\n"
    "General_______________________________________________________________\r\n"
    "  Beeper\r\n"
    "    Beep                      On                       <ESC>AB<SOH>\r\n"
    "    Volume                    Low                      <ESC>AC<NUL>\r\n"
    "  Timing\r\n"
    "    Delay                     $10                      <ESC>AD<DLE>\r\n"
    "    Range                     $12                      <ESC>AE<DC2>\r\n"
    "Codes_________________________________________________________________\r\n"
    "    Mode                      Fast                     <ESC>MD<NUL>\r\n"
    "    Prefix                    A                        <ESC>P1A\r\n"
    "    Prefix                    B                        <ESC>P2B\r\n"
    "    WidthLSB                  $E8                      <ESC>WL<$E8>\r\n"
    "    WidthMSB                  $03                      <ESC>WM<ETX>\r\n"
    "Hidden________________________________________________________________\r\n"
    "Safety________________________________________________________________\r\n"
    "    Reset                     No                       <ESC>RS<NUL>\r\n";

std::vector<std::string> folderFiles(const std::filesystem::path &dir)
{
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Writes beyond `bytes` fail for the object's lifetime, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &previous_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit previous_ {};
    void (*oldHandler_)(int);
};

} // namespace

class PrintListingTest : public EditFixture {
protected:
    void openListingEditor()
    {
        openEditor();
        CommDM->DeviceId = "M100 V1.2";
        Settings.DefTpl = "m100.tpl";
    }

    std::string listing() const { return TextListing(CurrentListingHeader(), ListingLines(tpl)); }
};

TEST_F(PrintListingTest, FileMenuWritesTheListingOfEveryPage)
{
    openListingEditor();
    const std::string path = dir.file("listing.txt");
    ui.chooseFile(path);
    form->File2->trigger();

    ASSERT_EQ(ui.dialogRequests().size(), 1u);
    EXPECT_EQ(ui.dialogRequests()[0].title, "Print to file...");
    EXPECT_EQ(ui.dialogRequests()[0].filter, "Text files|*.txt");
    EXPECT_EQ(ui.dialogRequests()[0].defaultExt, "txt");
    EXPECT_EQ(dir.read("listing.txt"), kListing);
    EXPECT_TRUE(ui.warnings().empty());

    // A cancelled dialog writes nothing; an existing file is replaced without a question.
    ui.chooseFile(std::nullopt);
    form->File2->trigger();
    dir.write("old.txt", "old contents");
    ui.chooseFile(dir.file("old.txt"));
    form->File2->trigger();
    EXPECT_EQ(dir.read("old.txt"), kListing);
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_TRUE(ui.warnings().empty());
}

TEST_F(PrintListingTest, ListsWhatIsShownNowWithItsValues)
{
    openListingEditor();
    tpl.SetEntryValue(entry("Beep"), 0);   // hides Volume
    tpl.SetEntryValue(tpl.Pages(Codes).Visible(2), ' ');
    tpl.UpdateVisible();
    const std::string text = listing();
    EXPECT_EQ(text.find("Volume"), std::string::npos);
    EXPECT_NE(text.find("    Beep                      Off                      <ESC>AB<NUL>\r\n"), std::string::npos);
    EXPECT_NE(text.find("    Prefix                    Space                    <ESC>P2<Space>\r\n"), std::string::npos);
}

TEST_F(PrintListingTest, TitleLineStaysSeventyCharactersWide)
{
    const std::string longId(80, 'I'), longTpl(75, 'T');
    struct Case {
        std::string id, tpl, line;
    } cases[] = {
        {"", "M100.TPL", std::string(62, ' ') + "M100.TPL"},
        {"Reader", "", "Reader" + std::string(64, ' ')},
        {longId, "X.TPL", std::string(65, 'I') + "X.TPL"},
        {"Reader", longTpl, std::string(70, 'T')},
    };
    for (const Case &c : cases) {
        const std::string text = TextListing({c.id, c.tpl, {}, {}}, {});
        EXPECT_EQ(text, c.line + "\r\n" + std::string(70, '=') + "\r\n") << c.id << " / " << c.tpl;
    }
}

TEST_F(PrintListingTest, HeaderTakesTheModelWhenTheReaderGaveNoIdentification)
{
    openEditor();
    Settings.Model = "Model text";
    Settings.SerNum = "SN 7";
    Settings.Customer = "Customer text";
    Settings.DefTpl = "dev\\m100_.tpl";
    TListingHeader header = CurrentListingHeader();
    EXPECT_EQ(header.Identification, "Model text");
    EXPECT_EQ(header.TemplateName, "DEV\\M100_.TPL");
    EXPECT_EQ(header.SerNum, "SN 7");
    EXPECT_EQ(header.Customer, "Customer text");
    CommDM->DeviceId = "M100 V1.2";
    EXPECT_EQ(CurrentListingHeader().Identification, "M100 V1.2");
}

TEST_F(PrintListingTest, FailedWriteIsReportedAndLeavesTheOldFile)
{
    openListingEditor();
    const std::string path = dir.write("listing.txt", "old contents");
    ui.chooseFile(path);
    {
        const FileSizeLimit limit(100);   // the listing is far longer
        form->File2->trigger();
    }
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Can't write to " + path});
    EXPECT_EQ(dir.read("listing.txt"), "old contents");
    EXPECT_EQ(folderFiles(dir.path()), (std::vector<std::string> {"CORVANE.INI", "dev", "listing.txt"}));

    // A folder that does not exist.
    ui.clear();
    ui.chooseFile(dir.file("missing/listing.txt"));
    form->File2->trigger();
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Can't write to " + dir.file("missing/listing.txt")});
}
