// A test export built into a copy of the add-on module: posts an error report from a thread, through the module's
// own serial library, as a port thread that fails does.

#include "serial/SerWindow.h"

#include <string>
#include <thread>

extern "C" __attribute__((visibility("default"))) void PostReportFromThread(const char *text)
{
    std::thread([report = std::string(text)] { PostErrorReport(report); }).join();
}
