// TARSEL.INI as the download library reads it: the device list, each device's settings, the recent files.

#include "FuzzTarget.h"

#include "download/TarselSettings.h"

#include <algorithm>

FUZZ_TARGET(tarsel_ini)
{
    TarselDir = fuzz::WorkDir();
    fuzz::WriteFile("TARSEL.INI", data);
    std::vector<std::string> names = ReadDeviceNames();
    names.resize(std::min<std::size_t>(names.size(), 4));
    names.push_back("no such device");

    TTRSSetup setup;
    for (const std::string &name : names) {
        setup.LoadDevice(name);
        FUZZ_CHECK(setup.LoaderParity <= 4);
    }
    setup.LoadMRU();
    FUZZ_CHECK(setup.MRUList.size() <= TTRSSetup::MaxMRU);
}
