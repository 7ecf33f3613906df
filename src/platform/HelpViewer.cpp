#include "HelpViewer.h"

#include "Paths.h"
#include "Process.h"

#include <cstdlib>
#include <filesystem>

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

namespace {

enum class ViewerKind { Other, Xchm, Kchmviewer };

ViewerKind kindOf(const std::string &program)
{
    const std::string name = std::filesystem::path(program).filename().string();
    if (name == "xchm") return ViewerKind::Xchm;
    if (name == "kchmviewer") return ViewerKind::Kchmviewer;
    return ViewerKind::Other;
}

} // namespace

void ExternalHelpViewer::DisplayTopic(const std::string &file, const std::string &page)
{
    if (program_.empty()) return;
    if (page.empty()) {
        StartDetached({program_, file});
        return;
    }
    switch (kindOf(program_)) {
    case ViewerKind::Xchm: StartDetached({program_, "file:" + AbsolutePath(file) + "#xchm:/" + page}); break;
    case ViewerKind::Kchmviewer: StartDetached({program_, "-showPage", "/" + page, file}); break;
    case ViewerKind::Other: StartDetached({program_, file}); break;
    }
}

void ExternalHelpViewer::DisplayIndex(const std::string &file, const std::string &keyword)
{
    if (program_.empty()) return;
    if (kindOf(program_) == ViewerKind::Kchmviewer)
        StartDetached({program_, "-index", keyword, file});
    else
        StartDetached({program_, file});
}
