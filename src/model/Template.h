#pragma once
// The device template model: a reader model's pages, entries, value lists and conditions, read from a .TPL file,
// and the configuration currently held for the device.

#include "ConfigImage.h"
#include "TplEntry.h"
#include "TplPage.h"
#include "platform/ShortStr.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The program's template is Global: loading it sets the device title, the application help file and, when a
// configuration file names another template, the current template name. A Private template (the compare
// window's) reads the settings but changes none of them.
enum class TemplateScope { Global, Private };

class TTemplate {
public:
    explicit TTemplate(TemplateScope scope = TemplateScope::Global) : scope_(scope) {}
    TTemplate(const TTemplate &) = delete;
    TTemplate &operator=(const TTemplate &) = delete;

    TTplCfg Cfg;
    ShortStr<255> Info;       // template info; a backslash is a line break
    ShortStr<255> HelpFile;   // help file name, relative to the device folder
    int32_t Level = 0;        // level of the last STR line read
    std::string FileName;     // full path of the loaded .TPL
    std::string Folder;       // the device folder it was loaded from, as LoadFromFile was given it

    TemplateScope Scope() const { return scope_; }

    // Frees all pages and definitions; the image, Info, HelpFile and FileName stay.
    void Clear();
    int32_t PageCount() const { return int32_t(pages_.size()); }
    TTplPag &Pages(int32_t i) { return *pages_.at(std::size_t(i)); }
    const TTplPag &Pages(int32_t i) const { return *pages_.at(std::size_t(i)); }
    bool IsEmpty() const { return pages_.empty(); }
    int32_t DefCount() const { return int32_t(defs_.size()); }
    const TTplDef &Defs(int32_t i) const { return *defs_.at(std::size_t(i)); }
    // The last definition whose name equals `name` exactly; nullptr when none.
    const TTplDef *FindDef(std::string_view name) const;
    TTplDef &AddDef(std::string_view name);
    TTplPag &AddPage(std::string_view name, int32_t helpContext);

    // Reads the template `name` (localized, in the device folder). False when the name is empty or the file does
    // not exist; the template is then untouched. Errors of the file system propagate.
    bool LoadFromFile(const std::string &name);
    // The same from another folder than the device folder (empty: the current directory).
    bool LoadFromFile(const std::string &name, const std::string &folder);
    // Reads the loaded template file again; false when none was loaded or it is gone.
    bool Reload();
    // Prepares a template line: drops the comment, takes the help number ("#", -1 when none) and the question
    // (after "?", which stays in the line), leaves the body after the tag's ":" in `line`; returns the record code.
    static uint8_t ClassifyLine(std::string &line, int32_t &helpNumber, std::string &question);
    // Handles a STR line as read: sets Level; when the level is the user's, takes title, help file and info and
    // returns true.
    bool ParseStr(const std::string &line);

    void UpdateVisible();
    // Value and value text from the first value line that covers the value; "Value not found" when none does.
    void SetEntryValue(TTplEnt &entry, uint8_t value);
    // The text the first covering value line gives the value; empty when none covers it.
    std::string ValueText(const TTplEnt &entry, uint8_t value) const;
    void MarkAllUnset();
    // Makes the records the current configuration: the image and every parameter's value.
    void ApplyConfiguration(const ConfigRecords &records);
    // Code and value byte of every parameter with a value, in page and entry order.
    ConfigRecords GetConfiguration() const;
    // Reads a configuration file and applies it, loading the template it names when that is another one.
    void LoadConfiguration(const std::string &path);
    // Asks for a file name and writes the configuration file.
    void SaveConfiguration() const;
    // Shows device title, template file name and info in an information box.
    void ShowInfo() const;

private:
    // Reads the file at `path`, which lies in `folder`.
    bool ReadFile(const std::string &path, const std::string &folder);

    TemplateScope scope_;
    std::vector<std::unique_ptr<TTplDef>> defs_;
    std::vector<std::unique_ptr<TTplPag>> pages_;
};

// The program's template, created and freed by the main window; nullptr while there is none.
extern TTemplate *Template;
