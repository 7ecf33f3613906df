#include "AppHelp.h"

#include "common/Wrn.h"
#include "model/HtmlHelp.h"
#include "platform/HelpViewer.h"
#include "platform/Paths.h"

std::string CompiledHelpFile(const std::string &helpFile)
{
    const std::string ext = ExtractFileExt(helpFile);
    return helpFile.substr(0, helpFile.size() - ext.size()) + ".CHM";
}

void ApplicationHelp(int32_t command, int32_t data, const std::string &keyword)
{
    const std::string chm = CompiledHelpFile(AppHelpFile);
    if (HtmlHelpAvailable() && FileExistsCi(chm)) {
        CallHtmlHelp(ResolveCaseInsensitive(chm), command, data, keyword);
        return;
    }
    // No viewer for the classic help files exists here. Say what is missing: the file, the viewer or both.
    std::string text = "Help not available!";
    if (!AppHelpFile.empty() && !FileExistsCi(chm)) text += "\rHelp file not found: " + chm;
    if (!AppHelpFile.empty() && !HtmlHelpAvailable()) text += "\rNo help viewer found: " + ExternalHelpViewer::Wanted();
    ShowWarning(text);
}
