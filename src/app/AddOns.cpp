// The "S&pecial" menu: add-on programs and libraries.

#include "AddOns.h"

#include "MainWindow.h"
#include "common/AddonContract.h"
#include "common/BsTypes.h"
#include "common/Wrn.h"
#include "link/ReaderLink.h"
#include "model/HtmlHelp.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"
#include "model/Template.h"
#include "platform/DynamicLibrary.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/ScopedFlag.h"
#include "platform/Text.h"
#include "platform/qt/Cp1252.h"
#include "platform/qt/Guarded.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStatusBar>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

constexpr std::size_t kValueMax = 255;


std::string portText()
{
    const TSerComPort &port = CommDM->ComPort;
    return "COM" + std::to_string(port.ComNumber()) + "," + std::to_string(port.Baud()) + "," +
           ParityLetter(port.Parity()) + "," + std::to_string(port.DataBits()) + "," + std::to_string(port.StopBits());
}

std::string expandToken(std::string token)
{
    if (token.empty() || token[0] != '$') return token;
    token = UpperCase(Cut(token, 4));
    if (token == "$COM") return portText();
    if (token == "$CFG") return LastConfigFile;
    if (token == "$TPL") return Template ? AbsolutePath(Template->FileName) : std::string();
    if (token == "$HLP") return AbsolutePath(AppHelpFile);
    if (token == "$DEV") return AddOnModelName(Settings.ModelName);
    return token;
}

} // namespace

std::string AddOnModelName(const std::string &reported)
{
    const auto holds = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               std::string_view("-_.+").find(c) != std::string_view::npos;
    };
    const std::size_t end = std::size_t(std::find_if_not(reported.begin(), reported.end(), holds) - reported.begin());
    const std::size_t begin = std::min(reported.find_first_not_of('-'), end);
    return reported.substr(begin, end - begin);
}

AddOnCommand SplitAddOnValue(const std::string &value)
{
    if (value.empty() || value[0] != '"') return {LongStrBefore(value, " "), LongStrAfter(value, " ")};
    const std::size_t close = value.find('"', 1);
    if (close == std::string::npos) return {value.substr(1), ""};
    return {value.substr(1, close - 1), TrimLeft(value.substr(close + 1))};
}

std::string ExpandParams(const std::string &params)
{
    std::string rest = params, expanded;
    bool first = true;
    while (!rest.empty()) {
        const std::string token = Trim(SplitLongStr(rest, ","));
        expanded += (first ? "" : ",") + expandToken(token);
        first = false;
    }
    return expanded;
}

void TMainForm::BuildSpecialMenu()
{
    if (Settings.SpecialList.empty()) return;
    SpecialMenu = new QMenu("S&pecial", this);
    for (const std::string &line : Settings.SpecialList) {
        const std::string caption = StrBefore(line, "=");
        QAction *item = SpecialMenu->addAction(FromCp1252(caption));
        item->setData(FromCp1252(caption));
        connect(item, &QAction::triggered, this, Guarded([this, item] { SpecialItemClick(item); }));
    }
    RebuildMenuBar();
}

void TMainForm::SpecialItemClick(QAction *item)
{
    // An add-on takes the port: never while an operation of the Device Control window or the editor runs.
    TLinkOperation operation(*CommDM);
    if (!operation) return QApplication::beep();

    const std::string caption = ToCp1252(item->data().toString());
    std::string value;
    for (const std::string &line : Settings.SpecialList)
        if (SameText(StrBefore(line, "="), caption)) {
            value = Cut(LongStrAfter(line, "="), kValueMax);
            break;
        }
    const AddOnCommand command = SplitAddOnValue(value);
    const std::string file = UpperCase(command.File);
    const std::string &params = command.Params;
    const std::string ext = UpperCase(ExtractFileExt(file));
    if (ext == ".DLL" || ext == ".SO")
        RunAddOnLibrary(file, params);
    else
        RunAddOnProgram(file, params);
}

void TMainForm::RunAddOnLibrary(const std::string &file, const std::string &params)
{
    CommDM->ClosePort();
    ScopedFlag running(AddOnRunning);
    try {
        const std::string text = Cut(ExpandParams(params), CV_ADDON_PARAMS_MAX);
        const TDynamicLibrary library(Cut(file, CV_ADDON_PARAMS_MAX), ExeDir);
        if (!library.Loaded()) {
            ShowWarning(file + "\rError n. " + std::to_string(library.ErrorNumber()) + "\r" + library.Error());
        } else if (auto execute = reinterpret_cast<CvAddonExecute>(library.Symbol(CV_ADDON_ENTRY_NAME))) {
            execute(uintptr_t(winId()), text.c_str());
        } else {
            ShowWarning("Execute function not found in\r" + file);
        }
    } catch (...) {
        ReportErrors([] { CommDM->OpenPort(); });
        throw;
    }
    CommDM->OpenPort();
}

void TMainForm::RunAddOnProgram(const std::string &file, const std::string &params)
{
    CommDM->ClosePort();
    ScopedFlag running(AddOnRunning);
    setEnabled(false);
    auto restore = [this] {
        setEnabled(true);
        activateWindow();
        setFocus();
        CommDM->OpenPort();
    };
    try {
        LaunchProgramAndWait(file, ExpandParams(params));
    } catch (...) {
        ReportErrors(restore);
        throw;
    }
    restore();
}

bool TMainForm::LaunchProgramAndWait(const std::string &file, const std::string &params)
{
    const std::string program = FindProgram(file, ExeDir);
    std::vector<std::string> argv {program};
    for (const std::string &arg : SplitArguments(Trim(params))) argv.push_back(arg);
    int pid = 0;
    const int error = program.empty() ? ENOENT : StartProcess(argv, pid);
    if (error != 0) {
        ShowWarning("Couldn't launch  [" + file + "]\r\nError " + std::to_string(error) + " (" + std::strerror(error) +
                    ")");
        return false;
    }
    // The window stays disabled but keeps painting while the program runs, and says what it waits for; a close
    // of the window ends the wait and leaves the program running.
    statusBar()->showMessage(FromCp1252("Waiting for " + file + " to end; closing " + AppTitle + " stops the wait"));
    StopWaitingForAddOn = false;
    while (!StopWaitingForAddOn && !WaitProcess(pid, 100)) QCoreApplication::processEvents();
    if (StopWaitingForAddOn) ReapWhenEnded(pid);
    statusBar()->clearMessage();
    return true;
}
