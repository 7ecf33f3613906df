#pragma once
// The library's entry: the caller's parameter text turned into a device, a port and line settings, and the
// download window run modally for them.

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <string>
#include <string_view>

// "device,COMn,baud,parity,data bits,stop bits", of which at most 255 characters count.
struct TExecuteParams {
    std::string DeviceName;
    int64_t PortNumber;        // 0 when the port field has no number after "COM"
    std::string LineSettings;  // "9600,N,8,1", taken apart by the download window
};
TExecuteParams ParseExecuteParams(std::string_view text);

// The owner of the library's windows: the window of the last call.
extern QPointer<QWidget> OwnerWindow;

// Picks a device when none is named, checks the port, and runs the download window; every outcome is shown
// to the user.
void ExecuteDownload(QWidget *owner, const char *params);
