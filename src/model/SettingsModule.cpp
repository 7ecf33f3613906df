#include "SettingsModule.h"

#include "HostCommands.h"
#include "HtmlHelp.h"
#include "Settings.h"
#include "common/BsTypes.h"
#include "common/ByteDisplay.h"
#include "common/Wrn.h"
#include "platform/Paths.h"
#include "platform/Text.h"

std::string ExeDir;
std::string IniFileName;
std::string BmpFileName;
std::string LastConfigFile;
bool ConnectAtStart = false;

std::string SettingsFileName(const std::string &programPath, const std::string &extension)
{
    const std::string name = Cut(ExtractFileName(programPath), 20);
    return Cut(UpperCase(StrBefore(name, ".")) + extension, 20);
}

void InitSettings(const std::string &programPath)
{
    LastConfigFile.clear();
    std::string dir = ExtractFilePath(ToSlashes(programPath));
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    ExeDir = dir.empty() ? std::string(".") : dir;
    IniFileName = SettingsFileName(programPath, ".INI");
    BmpFileName = SettingsFileName(programPath, ".BMP");
    FreeSettingLists();
    SetDefaultHostCommands();
    ReadSettings();
}

void ParseCommandLine(const std::string &argument)
{
    std::string rest = Cut(argument, 255);
    SplitStr(rest, 255, ",");
    const std::string hex = SplitStr(rest, 255, ",");
    const std::string connect = SplitStr(rest, 255, ",");
    if (!hex.empty()) HostCommands[hcEnterHost] = HexToBytes(hex);
    ConnectAtStart = connect == "1";
}

void StartSettingsModule(const std::string &programPath, const std::string &firstArgument)
{
    try {
        InitSettings(programPath);
        ParseCommandLine(firstArgument);
        LoadHtmlHelp();
    } catch (...) {
        ShowWarning("Error in InitSetup");
    }
}

void EndSettingsModule() { UnloadHtmlHelp(); }
