#pragma once
// The download library's settings from TARSEL.INI: the window title, the selected device's loader settings and
// commands, the driver names, and the list of recently downloaded files.

#include "platform/ShortStr.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The folder of TARSEL.INI: the directory of the program that loaded the library.
extern std::string TarselDir;
// TARSEL.INI in TarselDir, its name resolved without regard to case.
std::string TarselIniPath();
// The device names of [Devices], in file order.
std::vector<std::string> ReadDeviceNames();

// Line settings as ParseSettings reads them; parity 0 none, 1 odd, 2 even, 3 mark, 4 space.
struct TLineSettings {
    int32_t Baud;
    uint8_t Parity;
    uint8_t DataBits;
    uint8_t StopBits;
};

class TTRSSetup {
public:
    static constexpr std::size_t MaxMRU = 10;

    ShortStr<255> Title;
    ShortStr<50> DeviceName;
    ShortStr<50> DeviceSection;
    ShortStr<255> StartMsg;
    ShortStr<50> DefSettings;
    int32_t LoaderBaud = 0;
    uint8_t LoaderParity = 0;
    uint8_t LoaderDataBits = 0;
    uint8_t LoaderStopBits = 0;
    int32_t MaxBaud = 0;
    bool Echo = false;
    bool NoConnect = false;
    int32_t CRMax = 0;
    int32_t CRTicks = 0;
    ShortStr<50> CRAnswer;
    ShortStr<255> ErrMsg1;
    ShortStr<255> ErrMsg2;
    ShortStr<50> VerCmd;
    ShortStr<50> EraseCmd;
    ShortStr<50> RunCmd;
    ShortStr<50> RunAnswer;
    int32_t RunTimeout = 0;
    ShortStr<50> OpenFilter;
    std::string TRDLL;
    ShortStr<50> TRCall;
    ShortStr<50> TRAbort;
    std::vector<std::string> MRUList;   // most recent first

    // Reads the device's section afresh: every missing key, and every key of an unlisted device, gets its
    // default.
    void LoadDevice(std::string_view name);
    void LoadMRU();
    // Puts the file at the top of [MRU] unless it is listed already (without regard to case).
    void AddMRU(const std::string &fileName);

    // "\" and three decimal digits stand for the byte of that number modulo 256; a broken escape is dropped.
    static std::string DecodeEscapes(std::string_view text);
    static uint8_t ParityOf(std::string_view text);
    // "baud,parity,data bits,stop bits"; a field that does not read gives 9600, none, 8 or 1.
    static TLineSettings ParseSettings(std::string_view text);
};
