#include "LoaderProtocol.h"

#include "common/Wrn.h"
#include "platform/Text.h"
#include "serial/SerMisc.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr int32_t HostModeTicks = 18;
const std::string CrLf = "\r\n";

constexpr int64_t BitsPerChar = 11;   // start, 8 data, parity and stop bit: the longest usual frame
constexpr int64_t MinStallMs = 2000;
constexpr int64_t StallWireTimes = 4;
constexpr int64_t StillAfterAbortMs = 250;   // after an abort, output that has not moved for so long stands still

// The time the bytes take on the line at the baud rate.
int64_t WireMicros(int64_t bytes, int32_t baud)
{
    return bytes * BitsPerChar * 1000000 / (baud > 0 ? baud : 115200);
}

} // namespace

TLoaderProtocol::TLoaderProtocol(TSerCustomComPort &port, ILoaderView &view)
    : ComPort(port), Setup(std::make_unique<TTRSSetup>()), view_(view)
{
    ComPort.SetOutSize(16384);
    ComPort.SetUseEventWord(false);
    ComPort.SetCommNotificationLevel(1);
    ComPort.SetOnWaitChar([this](TSerCustomComPort &, char c) { ComPortWaitChar(c); });
    ComPort.RegisterUserCallback(this, [this](TSerCustomComPort &p, bool opening) {
        if (!opening && !p.LostDevice().empty())
            ComPortDeviceLost();
    });
}

TLoaderProtocol::~TLoaderProtocol()
{
    ComPort.DeregisterUserCallback(this);
    ComPort.SetOnWaitChar(nullptr);
}

void TLoaderProtocol::ComPortDeviceLost()
{
    // The port has closed itself; a step under way ends with the port's error at its next call.
    Connected = false;
    view_.ShowDeviceLost();
    view_.Log("Device lost: " + ComPort.LostDevice());
    view_.ShowStatus("DEVICE LOST!");
}

// ---- Device and port ----

bool TLoaderProtocol::SelectDevice(const std::string &name)
{
    if (name == Setup->DeviceName.str())
        return false;
    Setup->LoadDevice(name);
    return true;
}

void TLoaderProtocol::SetPort(int32_t number, const std::string &settings)
{
    PortNumber = number;
    const TLineSettings caller = TTRSSetup::ParseSettings(Cut(settings, 50));
    CallerBaud = caller.Baud;
    CallerParity = caller.Parity;
    CallerDataBits = caller.DataBits;
    CallerStopBits = caller.StopBits;
}

void TLoaderProtocol::OpenPort()
{
    if (lineHeld_ && ComPort.Open())
        ComPort.FlushOutBuffer();   // what a held line kept from an ended exchange would only hold up the new settings
    ComPort.SetComNumber(uint16_t(PortNumber));
    ComPort.SetBaud(CallerBaud);
    ComPort.SetParity(TParity(CallerParity));
    ComPort.SetDataBits(CallerDataBits);
    ComPort.SetStopBits(CallerStopBits);
    try {
        ComPort.SetOpen(true);
    } catch (...) {
        view_.ShowStatus("UNABLE TO OPEN COM" + std::to_string(PortNumber) + "!");
        throw;
    }
    view_.ShowPortOpen(ComPort.Open());
}

void TLoaderProtocol::ClosePort()
{
    Connected = false;
    view_.ShowPortOpen(false);
    LetOutputLeave();
    ComPort.SetOpen(false);
}

void TLoaderProtocol::LetOutputLeave()
{
    // Nothing is on its way (for instance after the device was lost), or nothing leaves: the close discards it.
    if (ComPort.PortState() != TPortState::PortOpen || lineHeld_)
        return;
    try {
        WaitOutputSent(false);
    } catch (const ELineHeld &) {
        return;   // logged; the close discards it
    }
    // The device may still hold the last characters when the queue is empty: the time of 18 more.
    std::this_thread::sleep_for(std::chrono::microseconds(WireMicros(18, ComPort.Baud()) + 1000));
}

void TLoaderProtocol::ApplyDefSettings()
{
    ComPort.SetBaud(Setup->LoaderBaud);
    ComPort.SetParity(TParity(Setup->LoaderParity));
    ComPort.SetDataBits(Setup->LoaderDataBits);
    ComPort.SetStopBits(Setup->LoaderStopBits);
}

// ---- Sending and waiting ----

bool TLoaderProtocol::WaitOutputSent(bool tickSteps)
{
    if (!tickSteps)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    uint32_t queued = ComPort.OutBuffUsed();
    if (Aborting() && lineHeld_)
        return queued == 0;   // no second wait on a line already found standing still
    int64_t progressAt = SerMsCount();
    while (queued != 0 && !QuitRequested()) {
        if (tickSteps) {
            DelayTicks(1, true);
        } else {
            std::this_thread::sleep_for(1ms);
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        const uint32_t now = ComPort.OutBuffUsed();
        if (now < queued) {
            queued = now;
            progressAt = SerMsCount();
            lineHeld_ = false;
            continue;
        }
        const int64_t still = SerMsCount() - progressAt;
        if (Aborting() && still >= StillAfterAbortMs) {
            lineHeld_ = true;
            return false;
        }
        if (still >= std::max(MinStallMs, StallWireTimes * WireMicros(queued, ComPort.Baud()) / 1000)) {
            ComPort.FlushOutBuffer();
            lineHeld_ = true;
            const std::string message =
                "Output stalled: the reader holds the line (" + std::to_string(queued) + " bytes not sent)";
            view_.Log(message);
            throw ELineHeld(message);
        }
    }
    return true;
}

void TLoaderProtocol::SendString(const std::string &bytes)
{
    ComPort.PutString(bytes);
    view_.Log("  TX: " + bytes);
    if (ComPort.Baud() <= 1200)
        WaitOutputSent(true);
}

void TLoaderProtocol::ComPortWaitChar(char c)
{
    if (RxText.size() < RxText.capacity)
        RxText = RxText.str() + c;
}

bool TLoaderProtocol::WaitAnswer(const std::string &expected, int32_t ticks, std::size_t maxLength,
                                 std::string *reply)
{
    RxText = "";
    const bool matched = ComPort.WaitForString(Cut(expected, 80), ticks, true, true, [this] { return Aborting(); });
    if (matched) {
        lineHeld_ = false;   // the reader took what was sent
        view_.Log("  RX: " + RxText.str());
    }
    if (reply)
        *reply = Cut(RxText.str(), maxLength);
    return matched;
}

// ---- Connect procedure ----

bool TLoaderProtocol::EnterHostMode(int32_t ticks)
{
    SendString("\x1B[C");
    return WaitAnswer("\x1BH\r\n", ComPort.Baud() <= 300 ? 2 * ticks : ticks);
}

bool TLoaderProtocol::LeaveHostMode(int32_t ticks)
{
    SendString("\x1B[A");
    return WaitAnswer("\x1BX\r\n", ticks);
}

bool TLoaderProtocol::TryHostMode()
{
    bool entered = EnterHostMode(HostModeTicks);
    if (AbortRequested)
        return entered;
    if (!entered) {
        const bool left = LeaveHostMode(HostModeTicks);
        if (AbortRequested)
            return entered;
        if (left) {
            entered = EnterHostMode(HostModeTicks);
            if (AbortRequested)
                return entered;
        }
    }
    for (int retry = 0; retry < 2 && !entered; ++retry) {
        entered = EnterHostMode(HostModeTicks);
        if (AbortRequested)
            return entered;
    }
    if (entered)
        DelayTicks(9, true);
    else
        LeaveHostMode(HostModeTicks);
    return entered;
}

bool TLoaderProtocol::SendCRs()
{
    if (Trim(Setup->CRAnswer).empty())
        return true;
    view_.Log("Sending <CR>");
    bool answered = false;
    int passes = 0;
    do {
        ComPort.PutChar('\r');
        view_.AppendToLogLine(" .");
        RxText = "";
        const auto aborting = [this] { return Aborting(); };
        if (Setup->Echo)
            ComPort.WaitForString(CrLf, Setup->CRTicks, true, true, aborting);
        answered = ComPort.WaitForString(Setup->CRAnswer, Setup->CRTicks, true, true, aborting);
        if (answered) {
            lineHeld_ = false;
            view_.Log("  RX: " + RxText.str());
        }
        ++passes;
    } while (!answered && passes < Setup->CRMax && !AbortRequested);
    return answered;
}

void TLoaderProtocol::Connect()
{
    AbortRequested = false;
    const TAbortScope abortable(*this, AbortRequested);
    view_.ShowConnecting(true);
    struct ConnectOver {   // whichever way the procedure ends
        ILoaderView &view;
        ~ConnectOver() { view.ShowConnecting(false); }
    } over {view_};
    view_.ShowStatus("CONNECTING...");
    OpenPort();
    Connected = false;
    view_.Log("Trying to enter host mode...");
    bool answered = false;
    bool held = false;
    try {
        answered = ReachLoader();
    } catch (const ELineHeld &) {
        held = true;
    }
    if (answered) {
        view_.ShowStatus("CONNECTED!");
        Connected = true;
    } else {
        view_.Log("");
        view_.Log(AbortRequested ? "CONNECTION ABORTED!" : "CONNECTION FAILED!");
        view_.ShowStatus(held ? "NOT CONNECTED - LINE HELD!" : "NOT CONNECTED");
    }
    ComPort.FlushInBuffer();
}

bool TLoaderProtocol::ReachLoader()
{
    if (TryHostMode()) {
        view_.Log("Quitting resident application...");
        SendString("\x1B[Q");
        WaitOutputSent(false);
        DelayTicks(4, true);
    }
    // The rate change would wait for the output without handling events, and up to 10 s on a held line.
    if (WaitOutputSent(false) && !AbortRequested) {
        view_.Log("Setting port to " + Setup->DefSettings.str() + "...");
        ApplyDefSettings();
    }
    bool answered = false;
    for (int attempt = 1; attempt <= 2 && !AbortRequested && !answered; ++attempt) {
        answered = SendCRs();
        if (answered) {
            view_.ShowDeviceAnswered();
        } else if (!AbortRequested) {
            const std::string &message = attempt == 1 ? Setup->ErrMsg1.str() : Setup->ErrMsg2.str();
            ShowWarning(message);
            view_.LogLines(attempt == 1 ? message + "." : message);
        }
    }
    return answered;
}

void TLoaderProtocol::AssumeConnected()
{
    OpenPort();
    ApplyDefSettings();
    view_.Log("Setting port to " + Setup->DefSettings.str() + "...");
    Connected = true;
}

void TLoaderProtocol::GetVersion()
{
    if (Trim(Setup->VerCmd).empty())
        return;
    view_.Log("Getting resident program version...");
    VersionText = LoaderCommand(Setup->VerCmd);
    view_.ShowStatus("CONNECTED - " + UpperCase(VersionText.str()));
    view_.ShowVersion(VersionText);
}

void TLoaderProtocol::EraseEEPROM()
{
    view_.Log("Erasing EEPROM...");
    view_.ShowStatus("ERASING EEPROM...");
    view_.ShowStatus(UpperCase(LoaderCommand(Setup->EraseCmd)));
}

std::string TLoaderProtocol::LoaderCommand(const std::string &command)
{
    SendString(command);
    if (Setup->Echo)
        WaitAnswer(CrLf, HostModeTicks);
    std::string reply;
    WaitAnswer(CrLf, HostModeTicks, 255, &reply);
    return reply;
}

void TLoaderProtocol::Terminate()
{
    view_.ShowStatus("TERMINATING...");
    if (lineHeld_) {
        // Nothing goes through, and new settings on the open port would wait for the output: the output goes with
        // the port, which then keeps the settings for its next open.
        ClosePort();
    } else if (Connected) {
        SendString(Setup->RunCmd);
        if (!Trim(Setup->RunAnswer).empty()) {
            view_.Log("Waiting for \"" + Setup->RunAnswer.str() + "\"...");
            WaitAnswer(Setup->RunAnswer, Setup->RunTimeout);
        }
    }
    if (ComPort.Open())
        ComPort.FlushInBuffer();
    ComPort.SetBaud(CallerBaud);
    ComPort.SetParity(TParity(CallerParity));
    ComPort.SetDataBits(CallerDataBits);
    ComPort.SetStopBits(CallerStopBits);
}
