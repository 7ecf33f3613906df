#include "ExecuteParameters.h"

#include "DownloadWindow.h"
#include "DevicePicker.h"
#include "common/BsTypes.h"
#include "common/Wrn.h"
#include "platform/Text.h"

#include <limits>

QPointer<QWidget> OwnerWindow;

namespace {

// ComNumber is 16 bits wide: a number outside it would open another port.
bool UsablePort(int64_t number) { return number >= 1 && number <= std::numeric_limits<uint16_t>::max(); }

} // namespace

TExecuteParams ParseExecuteParams(std::string_view text)
{
    std::string rest = Cut(text, 255);
    TExecuteParams params;
    params.DeviceName = Trim(SplitLongStr(rest, ","));
    const std::string port = UpperCase(Trim(SplitLongStr(rest, ",")));
    params.LineSettings = Trim(rest);
    const std::size_t com = port.find("COM");
    params.PortNumber = com == std::string::npos ? 0 : StrToIntDef(port.substr(com + 3), 0);
    return params;
}

void ExecuteDownload(QWidget *owner, const char *params)
{
    OwnerWindow = owner;
    const TExecuteParams parsed = ParseExecuteParams(params ? params : "");
    std::string device = parsed.DeviceName;
    if (device.empty())
        device = PickDevice(OwnerWindow);
    if (device.empty())
        return;
    if (parsed.LineSettings.empty()) {
        ShowWarning("Port settings not specified");
        return;
    }
    if (!UsablePort(parsed.PortNumber)) {
        ShowWarning("Port number not specified");
        return;
    }
    TTRSForm form(OwnerWindow);
    form.SelectDevice(device);
    form.SetPort(int32_t(parsed.PortNumber), parsed.LineSettings);
    form.exec();
}
