#pragma once
// The program's settings record and its INI file: read once at start, single sections on demand, and a fixed part
// written back whenever a window changes a setting.

#include "platform/ShortStr.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class IniDocument;

// A saved window geometry; -1 marks a part that was missing or not a number.
struct TFormRect {
    int32_t Left = -1, Top = -1, Width = -1, Height = -1;
};

constexpr int kAutoBaudMax = 11;
constexpr int kCustomButtons = 3;

struct TCVSetup {
    int32_t Port = 1;
    int32_t Baud = 19200;
    int32_t Parity = 0;           // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int32_t Data = 8;
    int32_t Stop = 1;
    int32_t MaxPort = 4;
    std::array<int32_t, kAutoBaudMax> AutoBaud {};
    int32_t AutoBaudCount = 0;
    int32_t AutoMode = 0;         // auto-connect scan: 0 fast, 1 slow
    std::string DefTpl;           // file name of the current template; not stored
    ShortStr<80> DeviceTitle;     // title of the loaded template; not stored
    ShortStr<80> Customer;
    ShortStr<80> Model;
    ShortStr<80> SerNum;
    bool Debug = false;
    bool NoBmp = false;
    bool Toolbar = true;
    uint8_t SerialStart = 2;
    uint8_t SerialStop = 3;
    bool Inches = false;
    bool EEPROMOnly = false;
    int32_t SendDelay = 0;        // ticks between configuration records
    ShortStr<255> MasterHostMode {"\x1B[C"};   // bytes
    ShortStr<80> MultiTitle;
    bool MultiHeld = false;
    int32_t RemotedSendDelay = 0;
    int32_t DefTimeout = 18;      // reply time-out in ticks
    std::vector<std::string> TermMacroList;   // "name=" + raw bytes, sorted
    std::vector<std::string> OverflowList;
    std::vector<std::string> SpecialList;
    std::vector<std::string> MultiList;
    std::vector<std::string> LanguageList;
    std::array<ShortStr<10>, kCustomButtons> CustomBtnLabel;
    std::array<ShortStr<80>, kCustomButtons> CustomBtnCaption;
    std::array<ShortStr<255>, kCustomButtons> CustomBtnCommand;   // bytes
    ShortStr<255> ModelName;      // reported by the reader; not stored
    std::string DevPath;          // device folder, ending in "/" when not empty
    std::string DevTpl;
    ShortStr<1> Language {"_"};
    int32_t Level = 99;
    ShortStr<255> DefMulti;
    TFormRect TermBounds;
    TFormRect LoadCfgBounds;
    std::array<int32_t, 2> LoadCfgSplit {-1, -1};
};

extern TCVSetup Settings;

// Path of the program INI (resolved without regard to case when it exists).
std::string IniPath();

// Reads the whole INI into Settings. Every step runs; a value that is not hexadecimal leaves its field at the
// default, and the first such conversion error is raised once everything has been read.
void ReadSettings();
// Writes the fixed part: [Port] (without MaxPort), [Header], some [Misc] keys, [Forms] and [TermMacros]. A line
// whose value the record still holds as read stays byte for byte. Raises IniError when the INI cannot be written.
void WriteSettings();
// WriteSettings for the windows whose actions save the settings along the way: a failure is reported (once per
// cause) and the action goes on.
void SaveSettings();

// Per-model values from the section named after the model (cut to 50): DevPath, DevTpl, the custom buttons (the
// [Reserved] ones when the model has no DevPath), EEPROMOnly, SendDelay.
void ReadModelSettings(const std::string &model);
// The key "TPL(" + id without blanks and control bytes + ")" of the model's section; empty when missing.
std::string ReadModelTemplateName(const std::string &model, const std::string &identification);
// DevPath of a section, with a trailing "/" when not empty.
std::string ReadModelDevPath(const std::string &section);
// Fills MultiList and MultiTitle from DefMulti's section or from ModelName + "-Multi".
void ReadMultiSection(bool useDefault);

void ReadCustomButtons(const IniDocument &ini);
// One macro per key line of [TermMacros], also where names read the same.
void ReadTermMacros(const IniDocument &ini);
// Sorts TermMacroList by name without regard to case; macros of the same name keep their order.
void SortTermMacros();
// Why a text cannot name a macro in [TermMacros], where it would read back as a section header, a comment or
// another name; empty when it can. Names that differ only in case are one key there: the caller compares them.
std::string MacroNameFault(const std::string &name);
// Makes [TermMacros] hold TermMacroList by changing only what differs: a line whose macro is in the list stays as
// it is, an edited macro takes over a line of its name, lines of deleted macros go, new macros are added. A name
// that cannot be a key, or whose key the section already has but for case, is left out.
void WriteTermMacros(IniDocument &ini);
TFormRect ReadFormRect(const IniDocument &ini, const std::string &key);
void WriteFormRect(IniDocument &ini, const std::string &key, const TFormRect &rect);
std::array<int32_t, 2> ReadFormPair(const IniDocument &ini, const std::string &key);
void WriteFormPair(IniDocument &ini, const std::string &key, const std::array<int32_t, 2> &pair);

void FreeSettingLists();

// Window geometry to and from a saved rectangle. A rectangle whose Left is negative is not applied; a width or
// height that is not positive leaves the window's size alone.
template <class Form>
void SaveFormBounds(const Form &form, TFormRect &rect)
{
    rect = {form.x(), form.y(), form.width(), form.height()};
}

template <class Form>
void RestoreFormBounds(Form &form, const TFormRect &rect)
{
    if (rect.Left < 0) return;
    form.move(rect.Left, rect.Top);
    if (rect.Width > 0 || rect.Height > 0)
        form.resize(rect.Width > 0 ? rect.Width : form.width(), rect.Height > 0 ? rect.Height : form.height());
}
