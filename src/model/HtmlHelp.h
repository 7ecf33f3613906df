#pragma once
// Help requests of the classic kind (context number, contents, keyword index) turned into HTML help calls.

#include <cstdint>
#include <string>

enum : int32_t {
    HELP_CONTEXT = 1,
    HELP_QUIT = 2,
    HELP_CONTENTS = 3,
    HELP_CONTEXTPOPUP = 8,
    HELP_PARTIALKEY = 261,
};

// What a help request asks of the viewer.
struct HtmlHelpRequest {
    enum class Kind { None, Topic, Index } kind = Kind::None;
    std::string location;   // Topic: file + "::html\" + number + ".HTM", or the file for its default page
    std::string file;
    std::string page;       // "html/120.HTM"; empty for the default page
    std::string keyword;
};
HtmlHelpRequest MakeHtmlHelpRequest(const std::string &file, int32_t command, int32_t data,
                                    const std::string &keyword);

// The application's help file: the device folder + the help file named by the loaded template.
extern std::string AppHelpFile;

void LoadHtmlHelp();
void UnloadHtmlHelp();
bool HtmlHelpAvailable();
// Shows the request through the help viewer; "HTML Help entry point unavailable" when there is none.
void CallHtmlHelp(const std::string &file, int32_t command, int32_t data, const std::string &keyword = {});
