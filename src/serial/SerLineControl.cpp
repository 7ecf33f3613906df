// Line control of the dispatcher: DTR and RTS, line settings, modem status, line errors, flow control.

#include "SerDispatch.h"

#include <chrono>
#include <thread>

namespace {

constexpr int32_t SetRtsOn = 3, SetRtsOff = 4, SetDtrOn = 5, SetDtrOff = 6;

namespace HwFlow {
constexpr uint32_t UseDTR = 1, UseRTS = 2, RequireDSR = 4, RequireCTS = 8;
}
namespace SwFlow {
constexpr uint32_t Transmit = 1, Receive = 2;
}

uint8_t StopBitCode(uint16_t stopBits, uint16_t dataBits, uint8_t current)
{
    if (stopBits == KeepLine::StopBits)
        return current;
    if (dataBits == 5)
        return 1;   // one and a half
    return stopBits == 1 ? 0 : 2;
}

} // namespace

int32_t TSerBaseDispatcher::SetDTR(bool on)
{
    std::lock_guard lock(triggerLock_);
    if (dtrByFlow_)
        return 1;
    const int32_t result = LineFunction(on ? SetDtrOn : SetDtrOff);
    dtrOn_ = on;
    return result < 0 ? SerCode::BadArgument : 0;
}

int32_t TSerBaseDispatcher::SetRTS(bool on)
{
    std::lock_guard lock(triggerLock_);
    if (rtsByFlow_)
        return 1;
    const int32_t result = LineFunction(on ? SetRtsOn : SetRtsOff);
    rtsOn_ = on;
    return result < 0 ? SerCode::BadArgument : 0;
}

uint32_t TSerBaseDispatcher::ActualBaud(uint32_t code)
{
    static const uint32_t table[] = {110,  300,   600,   1200, 2400, 4800, 9600,  14400, 19200, 0, 0,   38400,
                                     0,    0,     0,     56000, 0,   0,    0,     128000, 0,    0, 0,   256000};
    if (code == 65279)
        return 115200;
    if (code >= 65296 && code <= 65319 && table[code - 65296] != 0)
        return table[code - 65296];
    return code;
}

int32_t TSerBaseDispatcher::SetLine(int32_t baud, uint8_t parity, uint16_t stopBits, uint16_t dataBits)
{
    uint8_t stopCode;
    {
        std::lock_guard lock(triggerLock_);
        TSerLineSettings current;
        ReadLineSettings(current);
        if (stopBits == 0)
            stopBits = 1;
        else if (stopBits > 3)
            stopBits = 2;
        if (baud == KeepLine::Baud)
            baud = int32_t(current.BaudRate);
        if (parity == KeepLine::Parity)
            parity = current.Parity;
        if (dataBits == KeepLine::DataBits)
            dataBits = current.ByteSize;
        stopCode = StopBitCode(stopBits, dataBits, current.StopBits);
        if (uint32_t(baud) == current.BaudRate && parity == current.Parity && dataBits == current.ByteSize
            && stopCode == current.StopBits)
            return 0;
    }
    DrainBeforeLineChange();
    std::lock_guard lock(triggerLock_);
    ReadLineSettings(lineSettings_);
    lineSettings_.BaudRate = uint32_t(baud);
    lineSettings_.Parity = parity;
    lineSettings_.ByteSize = uint8_t(dataBits);
    lineSettings_.StopBits = stopCode;
    return ApplyLineSettings();
}

void TSerBaseDispatcher::DrainBeforeLineChange()
{
    if (deviceFailed_)
        return;   // nothing leaves a failed device
    for (int i = 0; i < 5000 && OutBuffUsed() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    TSerLineSettings settings;
    uint32_t baud;
    {
        std::lock_guard lock(triggerLock_);
        ReadLineSettings(settings);
        baud = ActualBaud(lastBaud_);
    }
    if (baud == 0)
        baud = 115200;
    const uint64_t bits = settings.ByteSize + 2u + (settings.Parity != 0 ? 1 : 0) + (settings.StopBits != 0 ? 1 : 0);
    // The time of 18 characters, in units of 100 ns.
    uint64_t t = (10000000 / baud) * bits * 18;
    if (t < 10000)
        t *= 2;
    std::this_thread::sleep_for(std::chrono::milliseconds(t / 10000 + (t % 10000 ? 1 : 0)));
}

int32_t TSerBaseDispatcher::ApplyLineSettings()
{
    std::lock_guard lock(triggerLock_);
    const int32_t result = WriteLineSettings(lineSettings_);
    if (result != 0)
        ReadLineSettings(lineSettings_);   // what the line runs with: a refused write left it as it was
    lastBaud_ = lineSettings_.BaudRate;
    SetDTR(dtrOn_);
    if (!rs485_)
        SetRTS(rtsOn_);
    return result;
}

void TSerBaseDispatcher::GetLine(int32_t &baud, uint8_t &parity, uint16_t &dataBits, uint16_t &stopBits)
{
    std::lock_guard lock(triggerLock_);
    TSerLineSettings settings;
    ReadLineSettings(settings);
    baud = int32_t(ActualBaud(settings.BaudRate));
    parity = settings.Parity;
    dataBits = settings.ByteSize;
    stopBits = settings.StopBits == 0 ? 1 : 2;
}

uint8_t TSerBaseDispatcher::GetModemStatus(uint8_t clearMask)
{
    std::lock_guard lock(triggerLock_);
    modemStatus_ = (ReadModemStatus() & 0xF0u) | (modemStatus_ & 0x0Fu);
    if (ringSeen_.exchange(false))
        modemStatus_ |= 0x04;
    const uint8_t result = uint8_t(modemStatus_);
    modemStatus_ &= clearMask;
    return result;
}

void TSerBaseDispatcher::RefreshModemDeltas()
{
    std::lock_guard lock(triggerLock_);
    const uint8_t old = uint8_t(modemStatus_);
    const uint8_t current = GetModemStatus(0xFF);
    modemStatus_ |= uint32_t(((current ^ old) & 0xF0) >> 4);
}

bool TSerBaseDispatcher::CheckCTS()
{
    return GetModemStatus(0xFE) & 0x10;
}

bool TSerBaseDispatcher::CheckDSR()
{
    return GetModemStatus(0xFD) & 0x20;
}

bool TSerBaseDispatcher::CheckDCD()
{
    return GetModemStatus(0xF7) & 0x80;
}

bool TSerBaseDispatcher::CheckRingEdge()
{
    return GetModemStatus(0xFB) & 0x04;
}

int32_t TSerBaseDispatcher::GetLineError()
{
    std::lock_guard lock(triggerLock_);
    static const std::pair<uint32_t, int32_t> order[] = {
        {LineErr::RxOver, 1}, {LineErr::Overrun, 2}, {LineErr::Parity, 3}, {LineErr::Frame, 4}, {LineErr::Break, 9}};
    uint32_t errors = lineErrors_;
    for (;;) {
        int32_t found = 0;
        for (const auto &[bit, number] : order)
            if (errors & bit) {
                found = number;
                break;
            }
        if (found == 0)
            return 0;
        // Bits 0-3 are reported together; the break stays for CheckLineBreak.
        if (lineErrors_.compare_exchange_weak(errors, errors & LineErr::Break))
            return found;
    }
}

bool TSerBaseDispatcher::CheckLineBreak()
{
    return lineErrors_.fetch_and(~LineErr::Break) & LineErr::Break;
}

int32_t TSerBaseDispatcher::SetHWFlowOptions(uint32_t bufferFull, uint32_t bufferResume, uint32_t options)
{
    if (bufferFull < bufferResume || bufferFull > inSize_)
        return SerCode::BadArgument;
    std::lock_guard lock(triggerLock_);
    TSerLineSettings &s = lineSettings_;
    ReadLineSettings(s);
    s.OutxCtsFlow = s.OutxDsrFlow = false;
    dtrByFlow_ = rtsByFlow_ = false;
    if (options & HwFlow::UseDTR) {
        s.DtrControl = TSerDtrControl::Handshake;
        dtrByFlow_ = true;
    } else {
        s.DtrControl = dtrOn_ ? TSerDtrControl::Enable : TSerDtrControl::Disable;
    }
    if (options & HwFlow::UseRTS) {
        s.RtsControl = TSerRtsControl::Handshake;
        rtsByFlow_ = true;
    } else {
        s.RtsControl = rtsOn_ ? TSerRtsControl::Enable : TSerRtsControl::Disable;
    }
    if (rs485_) {
        s.RtsControl = TSerRtsControl::Toggle;
        rtsByFlow_ = true;
    }
    s.XoffLim = uint16_t(inSize_ - bufferFull);
    s.XonLim = uint16_t(bufferResume);
    s.OutxDsrFlow = options & HwFlow::RequireDSR;
    s.OutxCtsFlow = options & HwFlow::RequireCTS;
    return ApplyLineSettings();
}

int32_t TSerBaseDispatcher::SetSWFlowOptions(uint32_t bufferFull, uint32_t bufferResume, uint32_t options)
{
    if (bufferFull < bufferResume || bufferFull > inSize_)
        return SerCode::BadArgument;
    std::lock_guard lock(triggerLock_);
    TSerLineSettings &s = lineSettings_;
    ReadLineSettings(s);
    if (options & SwFlow::Receive) {
        s.InX = true;
        s.XoffLim = uint16_t(inSize_ - bufferFull);
        s.XonLim = uint16_t(bufferResume);
        s.XonChar = 17;
        s.XoffChar = 19;
    }
    if (options & SwFlow::Transmit) {
        s.OutX = true;
        s.XonChar = 17;
        s.XoffChar = 19;
    }
    return ApplyLineSettings();
}

int32_t TSerBaseDispatcher::SWFlowDisable()
{
    std::lock_guard lock(triggerLock_);
    ReadLineSettings(lineSettings_);
    lineSettings_.InX = lineSettings_.OutX = false;
    return ApplyLineSettings();
}

int32_t TSerBaseDispatcher::SetFlowChars(char xon, char xoff)
{
    std::lock_guard lock(triggerLock_);
    ReadLineSettings(lineSettings_);
    lineSettings_.XonChar = xon;
    lineSettings_.XoffChar = xoff;
    return ApplyLineSettings();
}

int32_t TSerBaseDispatcher::GetFlowOptions(uint32_t &hwOptions, uint32_t &swOptions, char &xon, char &xoff)
{
    std::lock_guard lock(triggerLock_);
    TSerLineSettings s;
    const int32_t result = ReadLineSettings(s);
    hwOptions = (s.DtrControl == TSerDtrControl::Handshake ? HwFlow::UseDTR : 0)
                | (s.RtsControl == TSerRtsControl::Handshake ? HwFlow::UseRTS : 0)
                | (s.OutxDsrFlow ? HwFlow::RequireDSR : 0) | (s.OutxCtsFlow ? HwFlow::RequireCTS : 0);
    swOptions = (s.OutX ? SwFlow::Transmit : 0) | (s.InX ? SwFlow::Receive : 0);
    xon = s.XonChar;
    xoff = s.XoffChar;
    return result;
}

void TSerBaseDispatcher::SetOptionBits(uint32_t bits)
{
    std::lock_guard lock(triggerLock_);
    optionBits_ |= bits;
}

void TSerBaseDispatcher::ClearOptionBits(uint32_t bits)
{
    std::lock_guard lock(triggerLock_);
    optionBits_ &= ~bits;
}

uint32_t TSerBaseDispatcher::OptionBits()
{
    std::lock_guard lock(triggerLock_);
    return optionBits_;
}

void TSerBaseDispatcher::SetRS485Mode(bool on)
{
    std::lock_guard lock(triggerLock_);
    rs485_ = on;
    SetRs485Device(on);
}

void TSerBaseDispatcher::SetThreadBoost(uint8_t boost)
{
    // Threads run at normal priority: raising it needs privileges the program does not have.
    std::lock_guard lock(triggerLock_);
    threadBoost_ = boost;
}
