#include "ReaderLink.h"

#include "model/Settings.h"
#include "platform/ErrorReport.h"
#include "platform/ScopedFlag.h"
#include "serial/SerExcept.h"
#include "serial/SerMisc.h"
#include "serial/SerPortList.h"

TCommDM *CommDM = nullptr;

namespace {

constexpr char CR = '\r', LF = '\n';
constexpr std::size_t kMaxUnsolicitedLine = 16;   // a longer line is logged when the next byte comes

TParity parityOf(int32_t index)
{
    return index >= 0 && index <= 4 ? TParity(index) : TParity::pNone;
}

// How the user chooses a port that has a device: where, and among which ports.
std::string PortChoiceHint()
{
    std::string present;
    for (int n : SerPresentPorts()) present += (present.empty() ? "" : ", ") + ("COM" + std::to_string(n));
    if (present.empty()) return ". No serial port is present: plug in the reader's adapter, then choose its port in Setup";
    return ". Ports present: " + present + ". Choose the reader's port in Setup, or type 0 as the port there to be "
           "asked for it in the \"Select Port\" dialog each time the port opens";
}

} // namespace

TCommDM::TCommDM()
{
    ComPort.SetAutoOpen(false);
    ComPort.SetUseEventWord(false);
    ComPort.SetOnTriggerAvail([this](TSerCustomComPort &, uint16_t count) { ComPortTriggerAvail(count); });
    ComPort.SetOnWaitChar([this](TSerCustomComPort &, char c) { ComPortWaitChar(c); });
    ComPort.RegisterUserCallback(this, [this](TSerCustomComPort &port, bool opening) {
        if (!opening && !port.LostDevice().empty()) ComPortDeviceLost();
    });
    // A port that cannot be opened is reported once; the link goes on with the port closed.
    ReportErrors([this] { ApplyPortSettings(); });
}

TCommDM::~TCommDM()
{
    ReportErrors([this] { ClosePort(); });
    ComPort.DeregisterUserCallback(this);
}

void TCommDM::ComPortDeviceLost()
{
    // The port has closed itself; an operation under way ends with the port's error at its next call.
    Connected = false;
    AddLog("Device lost: " + ComPort.LostDevice() + ". Plug the device in and press Connect", true);
    ShowStatus("Device lost!");
    UpdatePort();
}

void TCommDM::ShowStatus(const std::string &msg)
{
    if (CommView) CommView->ShowStatus(msg);
}

void TCommDM::AddLog(const std::string &line, bool force)
{
    if (CommView) CommView->AddLog(line, force);
}

void TCommDM::UpdatePort()
{
    if (CommView) CommView->UpdatePort();
}

void TCommDM::ShowRxChar(uint8_t ch)
{
    if (TermView) TermView->ShowRxChar(ch);
}

void TCommDM::RefreshEditView()
{
    if (EditView) EditView->RefreshAll();
}

void TCommDM::UpdateMultiMenu(bool useDefault)
{
    if (MainView) MainView->UpdateMultiMenu(useDefault);
}

void TCommDM::OpenEditView()
{
    if (MainView) MainView->OpenEditView();
}

void TCommDM::EnableSpecialMenu(bool enabled)
{
    if (MainView) MainView->EnableSpecialMenu(enabled);
}

void TCommDM::OpenPort()
{
    try {
        ComPort.SetOpen(true);
    } catch (const EBadId &e) {
        throw EBadId(e.ErrorCode(), e.what() + PortChoiceHint());
    }
    DeviceId = "";
    DeviceInfo = "";
    UpdatePort();
    ComPort.SetTriggerLength(1);
    Monitoring = true;
}

void TCommDM::ClosePort()
{
    ComPort.SetOpen(false);
    DeviceId = "";
    DeviceInfo = "";
    UpdatePort();
}

void TCommDM::ReopenLostPort()
{
    if (!ComPort.LostDevice().empty() && ComPort.PortState() == TPortState::PortClosed) OpenPort();
}

void TCommDM::ApplyPortSettings()
{
    ClosePort();
    ComPort.SetComNumber(uint16_t(Settings.Port));
    ComPort.SetBaud(Settings.Baud);
    ComPort.SetParity(parityOf(Settings.Parity));
    ComPort.SetDataBits(uint16_t(Settings.Data));
    ComPort.SetStopBits(uint16_t(Settings.Stop));
    OpenPort();
}

void TCommDM::SetLine(int32_t baud, TParity parity, uint16_t dataBits, uint16_t stopBits)
{
    ComPort.SetBaud(baud);
    ComPort.SetParity(parity);
    ComPort.SetDataBits(dataBits);
    ComPort.SetStopBits(stopBits);
}

uint8_t TCommDM::ReadChar()
{
    const auto b = static_cast<uint8_t>(ComPort.GetChar());
    ShowRxChar(b);
    return b;
}

void TCommDM::ComPortWaitChar(char c)
{
    ReplyBuffer += c;
    ShowRxChar(static_cast<uint8_t>(c));
}

void TCommDM::ComPortTriggerAvail(uint16_t count)
{
    if (!Monitoring) return;
    // The count may be stale when a wait has read some of the bytes meanwhile: read only what is there.
    for (uint16_t i = 0; i < count && ComPort.CharReady(); ++i) {
        const char b = char(ReadChar());
        if (b == CR || b == LF) {
            if (!LineBuffer.empty()) AddLog("RX: " + LineBuffer, false);
            LineBuffer.clear();
            continue;
        }
        if (LineBuffer.size() > kMaxUnsolicitedLine) {
            AddLog("RX: " + LineBuffer, false);
            LineBuffer.clear();
        }
        LineBuffer += b;
    }
}

bool TCommDM::SlowLine() const { return ComPort.Baud() <= 300; }

void TCommDM::DrainOutput()
{
    uint32_t left = ComPort.OutBuffUsed();
    int32_t stalled = 0;
    while (left > 0 && ComPort.PortState() == TPortState::PortOpen && !QuitRequested() &&
           stalled < Settings.DefTimeout) {
        DelayTicks(1, true);
        const uint32_t now = ComPort.OutBuffUsed();
        stalled = now < left ? 0 : stalled + 1;
        left = now;
    }
}

void TCommDM::SendString(const std::string &data, bool log)
{
    ComPort.PutString(data);
    wire_.Sent(data.size(), ComPort.Baud(), BitsPerChar(ComPort.DataBits(), ComPort.Parity(), ComPort.StopBits()));
    if (log) AddLog("TX: " + data, false);
    if (ComPort.Baud() <= 1200) DrainOutput();
}

bool TCommDM::WaitReply(const std::string &expected, int32_t timeout, const std::string &errorText)
{
    const std::string error = errorText.substr(0, 20);
    ScopedFlag busy(Busy);
    ReplyBuffer.clear();
    const bool ok = ComPort.WaitForString(expected.substr(0, 255), timeout + wire_.RemainingTicks(), true, true);
    if (ok) {
        AddLog("RX: " + ReplyBuffer, false);
    } else {
        if (!error.empty()) AddLog(error, true);
        AddLog(ReplyBuffer, true);
    }
    return ok;
}
