// Saving the template's configuration to a .cfg file and loading one into it.

#include "CfgFile.h"
#include "Settings.h"
#include "SettingsModule.h"
#include "Template.h"
#include "common/Wrn.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/UiServices.h"

#include <filesystem>

void TTemplate::SaveConfiguration() const
{
    FileDialogRequest request;
    request.initialDir = Settings.DevPath;
    request.fileName = "*.cfg";
    request.filter = "*.cfg|*.cfg";
    request.defaultExt = "cfg";
    const std::optional<std::string> chosen = Ui().SaveFileName(request);
    if (!chosen) return;
    const std::string &path = *chosen;
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !AskYesNo("Overwrite configuration?")) return;

    // Every parameter, set or not; a code that is not 3 bytes long cannot be stored in a 4-byte record.
    ConfigRecords records;
    for (const auto &page : pages_) {
        for (int32_t i = 0; i < page->Count(); ++i) {
            const TTplEnt &entry = page->Entries(i);
            if (entry.Kind == trEnt && entry.Code.size() == kCfgRecordSize - 1)
                records.push_back(entry.Code.str() + char(entry.Value));
        }
    }
    if (!WriteCfgFile(path, ExtractFileName(FileName), records)) {
        ShowWarning("Can't write to " + path);
        return;
    }
    LastConfigFile = path;
}

void TTemplate::LoadConfiguration(const std::string &path)
{
    try {
        const CfgFileContents cfg = ReadCfgFile(path);
        const std::string current = scope_ == TemplateScope::Global ? Settings.DefTpl : ExtractFileName(FileName);
        if (!CfgNamesTemplate(cfg.TemplateName, current)) {
            if (LoadFromFile(cfg.TemplateName)) {
                if (scope_ == TemplateScope::Global) Settings.DefTpl = cfg.TemplateName;
            } else if (!AskYesNo("Template:" + cfg.TemplateName + " not found." + "\r" + "Load anyway?")) {
                return;
            }
        }
        ApplyConfiguration(cfg.Records);
    } catch (const std::exception &) {
        ShowWarning("Can't read " + path);
    }
}
