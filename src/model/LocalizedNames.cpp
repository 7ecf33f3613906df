#include "LocalizedNames.h"

#include "Settings.h"
#include "common/Wrn.h"

std::string LocalizeFileName(const std::string &name)
{
    std::string out = name;
    const std::string &language = Settings.Language;
    if (language.size() == 1 && language[0] >= 'A' && language[0] <= 'Z') {
        auto pos = out.find('_');
        if (pos != std::string::npos) out[pos] = language[0];
    }
    return out;
}

void FileNameHook(std::string &) {}

std::string TemplatePath(const std::string &folder, const std::string &name)
{
    std::string file = name;
    FileNameHook(file);
    return folder + LocalizeFileName(file);
}

void ShowTemplateNotFound(const std::string &name) { ShowWarning("Template " + LocalizeFileName(name) + " not found!"); }
