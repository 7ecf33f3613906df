#include "Settings.h"

#include "ParseHelpers.h"
#include "SettingsModule.h"
#include "common/BsTypes.h"
#include "common/ByteDisplay.h"
#include "common/IncidentalStep.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <exception>

TCVSetup Settings;

namespace {

// Remembers the first conversion error of a reading pass, so that the pass can finish and raise it at the end.
class FirstError {
public:
    template <class Step>
    void run(Step &&step)
    {
        try {
            step();
        } catch (const HexConvertError &) {
            note();
        }
    }
    void note()
    {
        if (!error_) error_ = std::current_exception();
    }
    void raise() const
    {
        if (error_) std::rethrow_exception(error_);
    }

private:
    std::exception_ptr error_;
};

// Hex text to bytes. On a pair that is not hexadecimal the error is noted and the bytes before it are kept.
std::string bytesOf(const std::string &hex, FirstError &errors)
{
    try {
        return HexToBytes(hex);
    } catch (const HexConvertError &) {
        errors.note();
        std::size_t good = 0;
        while (good + 1 < hex.size() && std::isxdigit(static_cast<unsigned char>(hex[good])) &&
               std::isxdigit(static_cast<unsigned char>(hex[good + 1])))
            good += 2;
        return HexToBytes(hex.substr(0, good));
    }
}

std::string withTrailingSlash(std::string path)
{
    path = ToSlashes(path);
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
}

// The bytes of a [TermMacros] value.
std::string macroBytes(const std::string &value, FirstError &errors) { return bytesOf(Cut(value, 255), errors); }

void clearCustomButton(int i)
{
    Settings.CustomBtnLabel[i] = "";
    Settings.CustomBtnCaption[i] = "";
    Settings.CustomBtnCommand[i] = "";
}

// CustomBtn1..3 of a section: "label,caption,HEX".
void readCustomButtonsFrom(const IniDocument &ini, const std::string &section, FirstError &errors)
{
    for (int i = 0; i < kCustomButtons; ++i) {
        clearCustomButton(i);
        std::string value = Cut(ini.ReadString(section, "CustomBtn" + std::to_string(i + 1), ""), 255);
        Settings.CustomBtnLabel[i] = SplitStr(value, 255, ",");
        Settings.CustomBtnCaption[i] = SplitStr(value, 255, ",");
        Settings.CustomBtnCommand[i] = bytesOf(value, errors);
    }
}

void readKeyValueLines(const IniDocument &ini, const std::string &section, std::vector<std::string> &list)
{
    list = ini.ReadSectionValues(section);
}

int32_t partOrMinusOne(std::string &rest) { return StrToIntDef(Trim(SplitLongStr(rest, ",")), -1); }

} // namespace

std::string IniPath() { return ResolveCaseInsensitive(ExeDir + "/" + IniFileName); }

void ReadCustomButtons(const IniDocument &ini)
{
    FirstError errors;
    readCustomButtonsFrom(ini, "Reserved", errors);
    errors.raise();
}

void ReadTermMacros(const IniDocument &ini)
{
    FirstError errors;
    Settings.TermMacroList.clear();
    // Line by line: names that read the same (text outside Windows-1252) are macros of their own.
    for (const std::string &pair : ini.ReadSectionValues("TermMacros"))
        Settings.TermMacroList.push_back(StrBefore(pair, "=") + "=" + macroBytes(StrAfter(pair, "="), errors));
    SortTermMacros();
    errors.raise();
}

void SortTermMacros()
{
    // By the name and its "=", which orders different names as the whole lines would.
    const auto name = [](const std::string &line) { return UpperCase(StrBefore(line, "=") + "="); };
    std::stable_sort(Settings.TermMacroList.begin(), Settings.TermMacroList.end(),
                     [&](const std::string &a, const std::string &b) { return name(a) < name(b); });
}

std::string MacroNameFault(const std::string &name)
{
    if (name.empty()) return "A macro needs a name.";
    if (name[0] == '[' || name[0] == ';') return "A macro name must not begin with \"[\" or \";\".";
    if (name.front() == ' ' || name.back() == ' ') return "A macro name must not begin or end with a blank.";
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '=')
            return "A macro name must not hold \"=\" or control characters.";
    return {};
}

void WriteTermMacros(IniDocument &ini)
{
    std::vector<std::pair<std::string, std::string>> macros;
    for (const std::string &full : Settings.TermMacroList) {
        const std::string line = Cut(full, 255);
        const std::string name = StrBefore(line, "=");
        if (MacroNameFault(name).empty()) macros.emplace_back(name, BytesToHex(StrAfter(line, "=")));
    }
    ini.WriteSectionValues("TermMacros", macros, [](const std::string &read, const std::string &written) {
        FirstError ignored;
        return macroBytes(read, ignored) == HexToBytes(written);
    });
}

TFormRect ReadFormRect(const IniDocument &ini, const std::string &key)
{
    std::string value = ini.ReadString("Forms", key, "");
    TFormRect r;
    r.Left = partOrMinusOne(value);
    r.Top = partOrMinusOne(value);
    r.Width = partOrMinusOne(value);
    r.Height = partOrMinusOne(value);
    return r;
}

void WriteFormRect(IniDocument &ini, const std::string &key, const TFormRect &r)
{
    ini.WriteString("Forms", key,
                    std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Width) + "," +
                        std::to_string(r.Height));
}

std::array<int32_t, 2> ReadFormPair(const IniDocument &ini, const std::string &key)
{
    std::string value = ini.ReadString("Forms", key, "");
    int32_t a = partOrMinusOne(value);
    return {a, partOrMinusOne(value)};
}

void WriteFormPair(IniDocument &ini, const std::string &key, const std::array<int32_t, 2> &pair)
{
    ini.WriteString("Forms", key, std::to_string(pair[0]) + "," + std::to_string(pair[1]));
}

void ReadSettings()
{
    const IniDocument ini = IniDocument::Load(IniPath());
    FirstError errors;
    TCVSetup &s = Settings;

    s.Port = ini.ReadInteger("Port", "Port", 1);
    s.Baud = ini.ReadInteger("Port", "Baud", 19200);
    s.Parity = ini.ReadInteger("Port", "Parity", 0);
    s.Data = ini.ReadInteger("Port", "Data", 8);
    s.Stop = ini.ReadInteger("Port", "Stop", 1);
    s.MaxPort = ini.ReadInteger("Port", "MaxPort", 4);

    s.Customer = ini.ReadString("Header", "Customer", "");
    s.Model = ini.ReadString("Header", "Model", "");
    s.SerNum = ini.ReadString("Header", "SerNum", "");

    s.Debug = ini.ReadBool("Misc", "Debug", false);
    s.NoBmp = ini.ReadBool("Misc", "NoBmp", false);
    s.SerialStart = uint8_t(ini.ReadInteger("Misc", "SerialStart", 2));
    s.SerialStop = uint8_t(ini.ReadInteger("Misc", "SerialStop", 3));
    s.Inches = ini.ReadBool("Misc", "Inches", false);
    s.Toolbar = ini.ReadBool("Misc", "Toolbar", true);
    s.Language = ini.ReadString("Misc", "Language", "_");
    if (s.Language.empty()) s.Language = "_";
    s.Level = ini.ReadInteger("Misc", "Level", 99);
    s.DefTimeout = ini.ReadInteger("Misc", "DefTimeout", 18);
    const IntList rates = ParseIntList(Cut(ini.ReadString("Misc", "AutoBaud", "19200,9600,4800,2400,1200,600,300,150"), 255));
    s.AutoBaud = rates.Values;
    s.AutoBaudCount = rates.Count;
    s.AutoMode = ini.ReadInteger("Misc", "AutoMode", 0);

    errors.run([&] {
        s.MasterHostMode = HexToBytes("1B5B43");
        s.MasterHostMode = HexToBytes(Cut(ini.ReadString("Remoted", "MasterHostMode", "1B5B43"), 255));
    });
    s.RemotedSendDelay = ini.ReadInteger("Remoted", "RemotedSendDelay", 0);
    s.MultiHeld = false;
    s.DefMulti = ini.ReadString("Remoted", "DefMulti", "");

    errors.run([&] { ReadCustomButtons(ini); });
    errors.run([&] { ReadTermMacros(ini); });

    readKeyValueLines(ini, "Overflow", s.OverflowList);
    readKeyValueLines(ini, "Special", s.SpecialList);
    readKeyValueLines(ini, "Languages", s.LanguageList);
    if (s.LanguageList.empty()) s.LanguageList.push_back("English=_");

    s.TermBounds = ReadFormRect(ini, "Term");
    s.LoadCfgBounds = ReadFormRect(ini, "LoadCfg");
    s.LoadCfgSplit = ReadFormPair(ini, "LoadCfgSplit");

    errors.raise();
}

void WriteSettings()
{
    const TCVSetup &s = Settings;
    IniFile(IniPath()).Update([&](IniDocument &ini) {
        ini.WriteInteger("Port", "Port", s.Port);
        ini.WriteInteger("Port", "Baud", s.Baud);
        ini.WriteInteger("Port", "Parity", s.Parity);
        ini.WriteInteger("Port", "Data", s.Data);
        ini.WriteInteger("Port", "Stop", s.Stop);
        ini.WriteString("Header", "Customer", s.Customer);
        ini.WriteString("Header", "Model", s.Model);
        ini.WriteString("Header", "SerNum", s.SerNum);
        ini.WriteBool("Misc", "Debug", s.Debug);
        ini.WriteInteger("Misc", "SerialStart", s.SerialStart);
        ini.WriteInteger("Misc", "SerialStop", s.SerialStop);
        ini.WriteBool("Misc", "Inches", s.Inches);
        ini.WriteBool("Misc", "Toolbar", s.Toolbar);
        ini.WriteString("Misc", "Language", s.Language);
        ini.WriteInteger("Misc", "Level", s.Level);
        WriteFormRect(ini, "Term", s.TermBounds);
        WriteFormRect(ini, "LoadCfg", s.LoadCfgBounds);
        WriteFormPair(ini, "LoadCfgSplit", s.LoadCfgSplit);
        WriteTermMacros(ini);
    });
}

void SaveSettings() { RunIncidentalStep("The settings were not saved.", WriteSettings); }

void ReadModelSettings(const std::string &model)
{
    const std::string section = Cut(model, 50);
    const IniDocument ini = IniDocument::Load(IniPath());
    FirstError errors;
    Settings.DevPath = withTrailingSlash(ini.ReadString(section, "DevPath", ""));
    Settings.DevTpl = ini.ReadString(section, "DevTpl", "");
    // A model without its own device folder uses the general buttons, never the previous model's.
    readCustomButtonsFrom(ini, Settings.DevPath.empty() ? std::string("Reserved") : section, errors);
    Settings.EEPROMOnly = ini.ReadBool(section, "EEPROMOnly", false);
    Settings.SendDelay = ini.ReadInteger(section, "SendDelay", 0);
    errors.raise();
}

std::string ReadModelTemplateName(const std::string &model, const std::string &identification)
{
    std::string id;
    for (char c : Cut(identification, 80))
        if (static_cast<unsigned char>(c) > 0x20) id += c;
    const std::string key = Cut("TPL(" + id + ")", 80);
    return IniFile(IniPath()).ReadString(Cut(model, 80), key, "");
}

std::string ReadModelDevPath(const std::string &section)
{
    return withTrailingSlash(IniFile(IniPath()).ReadString(Cut(section, 50), "DevPath", ""));
}

void ReadMultiSection(bool useDefault)
{
    if (Settings.MultiHeld) return;
    const std::vector<std::string> savedList = Settings.MultiList;
    const ShortStr<80> savedTitle = Settings.MultiTitle;

    const IniDocument ini = IniDocument::Load(IniPath());
    const std::string section = useDefault ? Settings.DefMulti.str() : Settings.ModelName.str() + "-Multi";
    Settings.MultiTitle = ini.ReadString(section, "Title", "Multi");
    Settings.MultiList = ini.ReadSectionValues(section);

    auto &list = Settings.MultiList;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (UpperCase(StrBefore(*it, "=")) == "TITLE") {
            list.erase(std::next(it).base());
            break;
        }
    }
    if (!list.empty()) {
        Settings.MultiHeld = ini.ReadBool("Remoted", "MultiPersistent", true);
    } else {
        Settings.MultiList = savedList;
        Settings.MultiTitle = savedTitle;
    }
}

void FreeSettingLists()
{
    Settings.TermMacroList.clear();
    Settings.OverflowList.clear();
    Settings.SpecialList.clear();
    Settings.MultiList.clear();
    Settings.LanguageList.clear();
}
