#include "HtmlHelp.h"

#include "common/Wrn.h"
#include "platform/HelpViewer.h"

#include <cstdlib>

std::string AppHelpFile;

namespace {
HelpViewer *entryPoint = nullptr;
}

HtmlHelpRequest MakeHtmlHelpRequest(const std::string &file, int32_t command, int32_t data,
                                    const std::string &keyword)
{
    HtmlHelpRequest r;
    r.file = file;
    switch (command) {
    case HELP_CONTEXT:
    case HELP_CONTEXTPOPUP: {
        const std::string number = std::to_string(std::llabs(int64_t(data)));
        r.kind = HtmlHelpRequest::Kind::Topic;
        r.location = file + "::html\\" + number + ".HTM";
        r.page = "html/" + number + ".HTM";
        break;
    }
    case HELP_CONTENTS:
        r.kind = HtmlHelpRequest::Kind::Topic;
        r.location = file;
        break;
    case HELP_PARTIALKEY:
        r.kind = HtmlHelpRequest::Kind::Index;
        r.location = file;
        r.keyword = keyword;
        break;
    default:
        break;
    }
    return r;
}

void LoadHtmlHelp()
{
    entryPoint = nullptr;
    HelpViewer *viewer = InstalledHelpViewer();
    if (viewer && viewer->Load()) entryPoint = viewer;
}

void UnloadHtmlHelp()
{
    if (entryPoint) entryPoint->Release();
    entryPoint = nullptr;
}

bool HtmlHelpAvailable() { return entryPoint != nullptr; }

void CallHtmlHelp(const std::string &file, int32_t command, int32_t data, const std::string &keyword)
{
    if (!entryPoint) {
        ShowWarning("HTML Help entry point unavailable");
        return;
    }
    const HtmlHelpRequest r = MakeHtmlHelpRequest(file, command, data, keyword);
    if (r.kind == HtmlHelpRequest::Kind::Topic)
        entryPoint->DisplayTopic(r.file, r.page);
    else if (r.kind == HtmlHelpRequest::Kind::Index)
        entryPoint->DisplayIndex(r.file, r.keyword);
}
