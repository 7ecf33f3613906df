#include "HelpViewer.h"

#include "Process.h"

#include <cstdlib>

namespace {
HelpViewer *installedViewer = nullptr;
}

HelpViewer *InstalledHelpViewer() { return installedViewer; }

void SetHelpViewer(HelpViewer *viewer) { installedViewer = viewer; }

bool ExternalHelpViewer::Load()
{
    program_.clear();
    const char *chosen = std::getenv("CORVANE_CHM_VIEWER");
    for (const std::string &name : {std::string(chosen ? chosen : ""), std::string("xchm"), std::string("kchmviewer")}) {
        program_ = FindExecutable(name);
        if (!program_.empty()) break;
    }
    return !program_.empty();
}

void ExternalHelpViewer::DisplayTopic(const std::string &file, const std::string &)
{
    if (!program_.empty()) StartDetached({program_, file});
}

void ExternalHelpViewer::DisplayIndex(const std::string &file, const std::string &)
{
    if (!program_.empty()) StartDetached({program_, file});
}
