// The program's first argument: "ignored,enter-host command in hex,1 to connect at start".

#include "FuzzTarget.h"

#include "common/ByteDisplay.h"
#include "model/HostCommands.h"
#include "model/SettingsModule.h"

FUZZ_TARGET(command_line)
{
    SetDefaultHostCommands();
    ConnectAtStart = false;
    try {
        ParseCommandLine(std::string(data));
    } catch (const HexConvertError &) {
        return;
    }
    FUZZ_CHECK(HostCommands[hcEnterHost].size() <= 80);
    FUZZ_CHECK(!ConnectAtStart || data.find(",1") != std::string_view::npos);
}
