#include "TarselSettings.h"

#include "common/BsTypes.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <cctype>

std::string TarselDir;

namespace {

constexpr const char *General = "General";
constexpr const char *Devices = "Devices";
constexpr const char *MRU = "MRU";

// A file that cannot be read counts as missing: every value takes its default.
IniDocument ReadTarselIni()
{
    try {
        return IniDocument::Load(TarselIniPath());
    } catch (const IniError &) {
        return {};
    }
}

std::string MRUKey(std::size_t index) { return ZeroPad(int64_t(index) + 1, 2); }

} // namespace

std::string TarselIniPath()
{
    return ResolveCaseInsensitive((TarselDir.empty() ? std::string() : TarselDir + "/") + "TARSEL.INI");
}

std::vector<std::string> ReadDeviceNames() { return ReadTarselIni().ReadSection(Devices); }

void TTRSSetup::LoadDevice(std::string_view name)
{
    DeviceName = name;
    const IniDocument ini = ReadTarselIni();
    Title = ini.ReadString(General, "Title", "TARSEL");
    DeviceSection = ini.ReadString(Devices, DeviceName.str(), "");

    // An unlisted device has no section: all of its keys take their defaults.
    const std::string section = DeviceSection;
    auto text = [&](const char *key, const char *fallback) {
        return section.empty() ? std::string(fallback) : ini.ReadString(section, key, fallback);
    };
    auto escaped = [&](const char *key, const char *fallback) { return DecodeEscapes(Cut(text(key, fallback), 255)); };
    auto integer = [&](const char *key, int32_t fallback) {
        return section.empty() ? fallback : ini.ReadInteger(section, key, fallback);
    };

    StartMsg = escaped("StartMsg", "");
    DefSettings = text("DefSettings", "");
    MaxBaud = integer("MaxBaud", 0);
    Echo = integer("Echo", 0) != 0;
    NoConnect = integer("NoConnect", 0) != 0;
    CRMax = integer("CRMax", 15);
    CRTicks = integer("CRTicks", 2);
    CRAnswer = escaped("CRAnswer", "");
    ErrMsg1 = escaped("ErrMsg1", "???");
    ErrMsg2 = escaped("ErrMsg2", "???");
    VerCmd = escaped("VerCmd", "???");
    EraseCmd = escaped("EraseCmd", "???");
    RunCmd = escaped("RunCmd", "???");
    RunAnswer = escaped("RunAnswer", "");
    RunTimeout = integer("RunTimeout", 180);
    OpenFilter = text("OpenFilter", "AllFiles|*.*");
    TRDLL = text("TRDLL", "");
    TRCall = text("TRCall", "");
    TRAbort = text("TRAbort", "");

    const TLineSettings loader = ParseSettings(DefSettings);
    LoaderBaud = loader.Baud;
    LoaderParity = loader.Parity;
    LoaderDataBits = loader.DataBits;
    LoaderStopBits = loader.StopBits;
}

void TTRSSetup::LoadMRU()
{
    const IniDocument ini = ReadTarselIni();
    MRUList.clear();
    for (std::size_t i = 0; i < MaxMRU; ++i) {
        std::string file = ini.ReadString(MRU, MRUKey(i), "");
        if (!file.empty())
            MRUList.push_back(std::move(file));
    }
}

void TTRSSetup::AddMRU(const std::string &fileName)
{
    LoadMRU();
    for (const std::string &file : MRUList)
        if (SameText(file, fileName))
            return;
    MRUList.insert(MRUList.begin(), fileName);
    if (MRUList.size() > MaxMRU)
        MRUList.pop_back();
    // The list is a convenience: a file that cannot be written does not stop the download.
    try {
        IniFile(TarselIniPath()).Update([&](IniDocument &ini) {
            ini.EraseSection(MRU);
            for (std::size_t i = 0; i < MRUList.size(); ++i)
                ini.WriteString(MRU, MRUKey(i), MRUList[i]);
        });
    } catch (const IniError &) {
    }
}

std::string TTRSSetup::DecodeEscapes(std::string_view text)
{
    std::string out;
    std::string digits;
    bool escape = false;
    for (char c : text.substr(0, 255)) {
        if (!escape) {
            if (c == '\\') {
                escape = true;
                digits.clear();
            } else {
                out += c;
            }
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            digits += c;
            if (digits.size() == 3) {
                out += char(std::stoi(digits) % 256);
                escape = false;
            }
        } else {
            escape = false;   // the character that broke the escape goes with its digits
        }
    }
    return Cut(out, 255);
}

uint8_t TTRSSetup::ParityOf(std::string_view text)
{
    switch ((UpperCase(Cut(text, 10)) + " ")[0]) {
    case 'O': return 1;
    case 'E': return 2;
    case 'M': return 3;
    case 'S': return 4;
    default: return 0;
    }
}

TLineSettings TTRSSetup::ParseSettings(std::string_view text)
{
    std::string rest = Cut(text, 50);
    std::string fields[4];
    for (std::string &field : fields)
        field = SplitLongStr(rest, ",");
    return TLineSettings {StrToIntDef(fields[0], 9600), ParityOf(fields[1]), uint8_t(StrToIntDef(fields[2], 8)),
                          uint8_t(StrToIntDef(fields[3], 1))};
}
