// Reading a device template (.TPL) into the template model.

#include "HtmlHelp.h"
#include "LocalizedNames.h"
#include "ParseHelpers.h"
#include "Settings.h"
#include "Template.h"
#include "common/BsTypes.h"
#include "platform/FileContents.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <stdexcept>

namespace {

bool IsValueLine(uint8_t code) { return code >= trVal && code <= trChr; }

// The reading state of LoadFromFile: definitions first, then level blocks of pages, headers and parameters.
class TemplateLineReader {
public:
    explicit TemplateLineReader(TTemplate &tpl) : tpl_(tpl) {}

    void Read(const std::string &raw)
    {
        std::string body = raw;
        int32_t help = -1;
        std::string question;
        const uint8_t code = TTemplate::ClassifyLine(body, help, question);

        if (code == trStr) {
            taken_ = tpl_.ParseStr(raw);
            beforeFirstStr_ = false;
            page_ = nullptr;
            entry_ = nullptr;   // value lines of a skipped block must not reach an entry of an earlier one
            return;
        }
        if (beforeFirstStr_) {
            ReadDefinitionLine(code, body, question);
            return;
        }
        if (!taken_) return;
        if (IsValueLine(code)) {
            if (entry_) entry_->AddValue(code, body, question);
            return;
        }

        switch (code) {
        case trPag:
            pageHelp_ = help;
            page_ = &tpl_.AddPage(Cut(body, 30), help);
            entry_ = nullptr;
            break;
        case trHdr:
            if (help == 0) help = pageHelp_;
            headerHelp_ = help;
            if (page_) entry_ = &page_->AddEntry(body, trHdr, question, help);
            break;
        case trEnt:
            if (help == 0) help = headerHelp_;
            if (page_) entry_ = &page_->AddEntry(body, trEnt, question, help);
            break;
        case trDef:
            // Definition names are kept cut to 30: a longer name in a use finds them so.
            if (entry_) entry_->CopyValues(tpl_.FindDef(Cut(body, 30)));
            break;
        default:
            break;
        }
    }

private:
    void ReadDefinitionLine(uint8_t code, const std::string &body, const std::string &question)
    {
        if (code == trDef)
            def_ = &tpl_.AddDef(Cut(body, 30));
        else if (IsValueLine(code) && def_)
            def_->AddValue(code, body, question);
    }

    TTemplate &tpl_;
    bool taken_ = false;
    bool beforeFirstStr_ = true;
    TTplDef *def_ = nullptr;
    TTplPag *page_ = nullptr;
    TTplEnt *entry_ = nullptr;
    int32_t pageHelp_ = 0;
    int32_t headerHelp_ = 0;
};

struct TagCode {
    std::string_view tag;
    uint8_t code;
};
constexpr TagCode kTagCodes[] = {
    {"DIC", trDic}, {"STR", trStr}, {"PAG", trPag}, {"HDR", trHdr}, {"ENT", trEnt},
    {"VAL", trVal}, {"HEX", trHex}, {"NUM", trNum}, {"CHR", trChr}, {"DEF", trDef},
};

} // namespace

uint8_t TTemplate::ClassifyLine(std::string &line, int32_t &helpNumber, std::string &question)
{
    std::string text = Trim(LongStrBefore(line, ";"));
    helpNumber = -1;
    if (text.find('#') != std::string::npos) {
        helpNumber = StrToIntDef(Trim(LongStrAfter(text, "#")), -1);
        text = Trim(LongStrBefore(text, "#"));
    }
    question = Cut(LongStrAfter(text, "?"), 255);
    const std::string tag = LineTag(text);
    line = Trim(LongStrAfter(text, ":"));
    for (const TagCode &t : kTagCodes)
        if (tag == t.tag) return t.code;
    return trNone;
}

bool TTemplate::ParseStr(const std::string &line)
{
    Level = StrToIntDef(LongStrAfter(Trim(LongStrBefore(line, ":")), "_"), 99);
    if (Level != Settings.Level) return false;

    std::string rest = Trim(LongStrAfter(line, ":")) + ",";
    std::string title = SplitLongStr(rest, ",");
    if (title.empty()) title = FileName;
    rest = Trim(rest);
    HelpFile = SplitLongStr(rest, ",");
    Info = SplitLongStr(rest, ",");
    if (scope_ == TemplateScope::Global) {
        Settings.DeviceTitle = title;
        AppHelpFile = Folder + HelpFile.str();
    }
    return true;
}

bool TTemplate::LoadFromFile(const std::string &name) { return LoadFromFile(name, Settings.DevPath); }

bool TTemplate::LoadFromFile(const std::string &name, const std::string &folder)
{
    return !name.empty() && ReadFile(TemplatePath(folder, name), folder);
}

bool TTemplate::Reload() { return !FileName.empty() && ReadFile(FileName, Folder); }

bool TTemplate::ReadFile(const std::string &path, const std::string &folder)
{
    if (!FileExistsCi(path)) return false;

    const std::string resolved = ResolveCaseInsensitive(path);
    const std::optional<std::string> text = ReadFileContents(resolved);
    if (!text) throw std::runtime_error("Unable to read " + resolved);
    FileName = resolved;
    Folder = folder;
    Cfg.TemplateName = UpperCase(PadRight(ExtractFileName(FileName), ' ', 12));
    Clear();
    TemplateLineReader reader(*this);
    ForEachLine(*text, [&](const std::string &line) { reader.Read(line); });
    UpdateVisible();
    return true;
}
