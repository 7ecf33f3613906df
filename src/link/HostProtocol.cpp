// The reader's host-mode protocol: single commands with their replies, and the operations built from them.

#include "ReaderLink.h"
#include "HostReplies.h"

#include "common/BsTypes.h"
#include "common/Wrn.h"
#include "model/Edition.h"
#include "model/HostCommands.h"
#include "model/LocalizedNames.h"
#include "model/Settings.h"
#include "model/Template.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "serial/SerMisc.h"

namespace {

const std::string ErrorText = "Error!";
constexpr int32_t kEEPROMSaveTicks = 72;
constexpr int32_t kSettleTicks = 9;            // pause after host mode was entered
constexpr int32_t kDumpPollTicks = 5;
constexpr int kDumpSilentPolls = 11;           // 55 ticks without a byte end a dump

const std::string &Cmd(THostCommand c) { return HostCommands[c].str(); }

int32_t DT() { return Settings.DefTimeout; }

} // namespace

bool TCommDM::EnterHostCmd(int32_t timeout)
{
    SendString(Cmd(hcEnterHost), true);
    return WaitReply(Cmd(hcHostReply), SlowLine() ? 2 * timeout : timeout, "Wait...");
}

bool TCommDM::ExitHostCmd(int32_t timeout)
{
    SendString(Cmd(hcExitHost), true);
    return WaitReply(Cmd(hcExitReply), timeout, "");
}

bool TCommDM::ProgramModeCmd(int32_t timeout)
{
    SendString(Cmd(hcProgramMode), true);
    return WaitReply(Cmd(hcProgramReply), timeout, ErrorText);
}

bool TCommDM::SaveCmd(int32_t timeout, bool toEEPROM)
{
    if (toEEPROM && (Settings.EEPROMOnly || AskYesNo("Save to EEPROM?"))) {
        SendString(Cmd(hcSaveEEPROM), true);
        return WaitReply(Cmd(hcSaveReply), kEEPROMSaveTicks, ErrorText);
    }
    SendString(Cmd(hcSaveRAM), true);
    return WaitReply(Cmd(hcSaveReply), timeout, ErrorText);
}

bool TCommDM::EnterHostMode()
{
    AbortConnect = false;
    if (InHostMode) return true;
    Monitoring = false;
    ShowStatus("Entering Host Mode...");

    // A close request ends the tries early; the flag then says what the line is, so that an exit follows.
    bool r = EnterHostCmd(DT());
    if (!r && ExitHostCmd(DT())) r = EnterHostCmd(DT());
    if (AbortConnect) return InHostMode = r;
    for (int retry = 0; retry < 2 && !r; ++retry) r = EnterHostCmd(DT());
    if (AbortConnect) return InHostMode = r;
    if (!r && !IsRemoted()) {
        ExitHostCmd(DT());
        ShowStatus("AutoConnect");
        r = AutoConnect();
    }
    if (r) {
        InHostMode = true;
        ShowStatus("OK");
        DelayTicks(kSettleTicks, true);
    } else {
        ExitHostCmd(DT());
        ShowStatus("Attempt failed!");
    }
    return r;
}

bool TCommDM::ExitHostMode()
{
    if (!InHostMode) return false;
    ShowStatus("Exiting Host Mode...");
    bool r = ExitHostCmd(DT());
    if (!r && EnterHostCmd(DT())) r = ExitHostCmd(DT());
    if (r) InHostMode = false;
    AddLog(r ? "OK" : "Failed!", false);
    Monitoring = true;
    return r;
}

void TCommDM::LeaveHostModeAfterError()
{
    if (!InHostMode) return;
    try {
        ExitHostMode();
    } catch (...) {
    }
}

void TCommDM::Identify()
{
    const int32_t wait = SlowLine() ? DT() : DT() / 2;
    SendString(Cmd(hcIdentify), true);
    DelayTicks(wait, true);
    // Only what has arrived by now: a reader that keeps sending cannot hold the identification open.
    std::string reply;
    for (uint32_t n = ComPort.InBuffUsed(); n > 0 && ComPort.CharReady(); --n) {
        const char c = char(ReadChar());
        if (reply.size() < kIdentReplyMax) reply += c;
    }

    const TIdentReply id = ParseIdentReply(reply);
    DeviceId = id.DeviceId;
    Settings.ModelName = id.ModelName;
    DeviceInfo = id.DeviceInfo;
    ReadModelSettings(Settings.ModelName);
    std::string name = id.TemplateName;
    if (!id.Extended) {
        name = Cut(ReadModelTemplateName(Settings.ModelName, reply), 20);
        if (name.empty()) name = Cut(Settings.DevTpl, 20);
    }

    const bool found = !name.empty() && Template && Template->LoadFromFile(name);
    AddLog(std::string(DeviceWord()) + ": " + Settings.ModelName.str(), true);
    if (!name.empty()) {
        AddLog("Template: " + StrBefore(name, "."), true);
        AddLog(std::string("Loading...") + (found ? "OK" : "NOT FOUND"), true);
    }
    AddLog("Info: " + DeviceInfo.str(), true);
    if (id.Extended) Ui().ShowInformation(id.Message);

    if (found) {
        Settings.DefTpl = name;
    } else {
        if (Template) Template->Clear();
        RefreshEditView();
        ShowTemplateNotFound(name);
    }
}

bool TCommDM::ReadConfig(std::vector<std::string> &list)
{
    if (!InHostMode) return false;
    ShowStatus("Reading configuration...");
    SendString(Cmd(hcDump), true);
    if (!WaitReply(Cmd(hcDumpEndReply), DT(), ErrorText)) return false;
    AddLog("RX: <Configuration...>", false);

    TDumpCollector dump(list);
    bool done = false;
    // A reader that streams without ever closing the dump is cut off after more than an image can hold.
    while (!done && dump.WantsMore() && !QuitRequested()) {
        int polls = 0;
        while (!ComPort.CharReady() && polls < kDumpSilentPolls) {
            DelayTicks(kDumpPollTicks, true);
            ++polls;
        }
        if (polls >= kDumpSilentPolls) break;   // silent, even when a byte arrives at that moment

        done = dump.Take(char(ReadChar()));
    }
    if (done) {
        AddLog("RX: <CR><LF>", false);
        ShowStatus("OK - " + std::to_string(dump.Count()) + " lines read");
    } else {
        ShowStatus("Failed - " + std::to_string(dump.Count()) + " lines read");
    }
    return done;
}

bool TCommDM::SendConfig(const std::vector<std::string> &list, bool toEEPROM)
{
    if (!ProgramModeCmd(DT())) return false;
    AddLog("Sending " + std::to_string(list.size()) + " lines", false);
    const int32_t delay = IsRemoted() ? Settings.RemotedSendDelay : Settings.SendDelay;
    AddLog("Delay " + std::to_string(delay), false);
    for (const std::string &record : list) {
        SendString(record, true);
        if (delay > 0) DelayTicks(delay, true);
    }
    AddLog("Sent " + std::to_string(list.size()) + " lines", false);
    DrainOutput();
    return SaveCmd(DT(), toEEPROM);
}

bool TCommDM::SendCommand(const std::string &cmd, bool toEEPROM)
{
    if (!ProgramModeCmd(DT())) return false;
    SendString(Cut(cmd, 80), true);
    return SaveCmd(DT(), toEEPROM);
}

bool TCommDM::SendSingleCommand(const std::string &cmd)
{
    ShowStatus("Sending command ...");
    bool r = false;
    if (EnterHostMode()) {
        r = SendCommand(cmd, Settings.EEPROMOnly);
        ExitHostMode();
    }
    ShowStatus(r ? "Command sent" : "Command failed");
    return r;
}

bool TCommDM::RestoreDefaults(bool toEEPROM)
{
    bool r = SendCommand(Cmd(hcDefaults), false);
    if (toEEPROM) r = ProgramModeCmd(DT()) && SaveCmd(DT(), true) && r;
    return r;
}

bool TCommDM::CustomCommand(int n)
{
    if (n < 1 || n > kCustomButtons) return false;
    SendString(Settings.CustomBtnCommand[std::size_t(n - 1)], true);
    return WaitReply("\r\n", DT(), ErrorText);
}
