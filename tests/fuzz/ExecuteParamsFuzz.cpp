// The parameter text the host passes to the download library's Execute, and the line settings taken from it.

#include "FuzzTarget.h"

#include "download/TarselSettings.h"
#include "download/ExecuteParameters.h"

FUZZ_TARGET(execute_params)
{
    const TExecuteParams params = ParseExecuteParams(data);
    // Only the first 255 characters count.
    FUZZ_CHECK(params.DeviceName.size() + params.LineSettings.size() <= 255);
    FUZZ_CHECK(params.PortNumber == 0 || data.size() >= 4);
    const TLineSettings line = TTRSSetup::ParseSettings(params.LineSettings.substr(0, 50));
    FUZZ_CHECK(line.Parity <= 4);
    TTRSSetup::ParityOf(data);
}
