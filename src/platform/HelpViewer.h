#pragma once
// The viewer that shows compiled HTML help files. The program installs one; without it no viewer is available.

#include <string>

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // Looks for the viewer; true when it can be used.
    virtual bool Load() = 0;
    virtual void Release() = 0;
    // Shows a page of the help file ("html/120.HTM"); an empty page shows the file's default page.
    virtual void DisplayTopic(const std::string &file, const std::string &page) = 0;
    // Shows the file's keyword index, searching for `keyword`.
    virtual void DisplayIndex(const std::string &file, const std::string &keyword) = 0;
};

HelpViewer *InstalledHelpViewer();
void SetHelpViewer(HelpViewer *viewer);   // not owned

// A CHM viewer program found at start: $CORVANE_CHM_VIEWER, else xchm, else kchmviewer on PATH. Each is told the
// page in its own way (xchm as a "file:<file>#xchm:/<page>" address, kchmviewer with -showPage). Only kchmviewer
// takes an index search on its command line (-index, also with an empty keyword: the index with nothing typed);
// xchm opens the file. Any other program gets the file alone.
class ExternalHelpViewer final : public HelpViewer {
public:
    // The programs looked for, as a user is told to install them.
    static std::string Wanted() { return "install xchm or kchmviewer, or name a CHM viewer in CORVANE_CHM_VIEWER"; }

    bool Load() override;
    void Release() override { program_.clear(); }
    void DisplayTopic(const std::string &file, const std::string &page) override;
    void DisplayIndex(const std::string &file, const std::string &keyword) override;

private:
    std::string program_;
};
