// The port's trace and dispatch log: one set of rules for both records, kept while the port is closed
// and run by the dispatcher while it is open.

#include "SerPort.h"

#include "SerExcept.h"

#include <algorithm>

namespace {

constexpr uint32_t MaxTraceSize = 4000000;
constexpr uint32_t MaxLogSize = 16000000;

// While the port is not open, a state other than off and on is kept as off.
TTraceLogState StoredState(TTraceLogState value)
{
    return value == TTraceLogState::tlOn ? value : TTraceLogState::tlOff;
}

} // namespace

// ---- Trace and dispatch log ----

struct TSerCustomComPort::TraceLogChannel {
    TTraceLogState TSerCustomComPort::*state;
    uint32_t TSerCustomComPort::*size;
    uint32_t maxSize;
    std::string TSerCustomComPort::*name;
    bool TSerCustomComPort::*hex;
    bool initChecked;   // the log's start is not checked
    int32_t (TSerBaseDispatcher::*init)(uint32_t);
    TChannelWrite dump;
    TChannelWrite append;
    TChannelOp clear;
    TChannelOp abort;
    TChannelOp resume;
    TChannelOp pause;
};

const TSerCustomComPort::TraceLogChannel TSerCustomComPort::TraceChannel {
    &TSerCustomComPort::tracing_,      &TSerCustomComPort::traceSize_,     MaxTraceSize,
    &TSerCustomComPort::traceName_,    &TSerCustomComPort::traceHex_,      true,
    &TSerBaseDispatcher::InitTracing,  &TSerBaseDispatcher::DumpTrace,     &TSerBaseDispatcher::AppendTrace,
    &TSerBaseDispatcher::ClearTracing, &TSerBaseDispatcher::AbortTracing,  &TSerBaseDispatcher::ResumeTracing,
    &TSerBaseDispatcher::PauseTracing};

const TSerCustomComPort::TraceLogChannel TSerCustomComPort::LogChannel {
    &TSerCustomComPort::logging_,      &TSerCustomComPort::logSize_,       MaxLogSize,
    &TSerCustomComPort::logName_,      &TSerCustomComPort::logHex_,        false,
    &TSerBaseDispatcher::InitLogging,  &TSerBaseDispatcher::DumpLog,       &TSerBaseDispatcher::AppendLog,
    &TSerBaseDispatcher::ClearLogging, &TSerBaseDispatcher::AbortLogging,  &TSerBaseDispatcher::ResumeLogging,
    &TSerBaseDispatcher::PauseLogging};

void TSerCustomComPort::SetChannelState(const TraceLogChannel &channel, TTraceLogState value)
{
    TTraceLogState &state = this->*channel.state;
    if (!Applies(value == state))
        return;
    if (!IsOpen()) {
        state = StoredState(value);
        return;
    }
    // The operations set the state.
    const bool on = state == TTraceLogState::tlOn;
    const bool paused = state == TTraceLogState::tlPause;
    switch (value) {
    case TTraceLogState::tlOff:
        if (on || paused)
            RunChannel(channel, channel.abort, TTraceLogState::tlOff);
        break;
    case TTraceLogState::tlOn:
        if (paused)
            RunChannel(channel, channel.resume, TTraceLogState::tlOn);
        else
            StartChannel(channel, this->*channel.size);
        break;
    case TTraceLogState::tlDump:
    case TTraceLogState::tlAppend:
        if (on || paused) {
            RunChannel(channel, channel.resume, TTraceLogState::tlOn);
            WriteChannel(channel, value == TTraceLogState::tlDump ? channel.dump : channel.append,
                         this->*channel.name, this->*channel.hex);
        }
        break;
    case TTraceLogState::tlClear:
        if (on || paused)
            RunChannel(channel, channel.clear, state);
        break;
    case TTraceLogState::tlPause:
        if (on)
            RunChannel(channel, channel.pause, TTraceLogState::tlPause);
        break;
    }
}

void TSerCustomComPort::SetChannelSize(const TraceLogChannel &channel, uint32_t value)
{
    uint32_t &size = this->*channel.size;
    if (!Applies(value == size))
        return;
    size = std::min(value, channel.maxSize);
    // A running record restarts empty with the new size; a paused one ends.
    const TTraceLogState state = this->*channel.state;
    if (IsOpen() && (state == TTraceLogState::tlOn || state == TTraceLogState::tlPause)) {
        RunChannel(channel, channel.abort, TTraceLogState::tlOff);
        SetChannelState(channel, state);
    }
}

void TSerCustomComPort::StartChannel(const TraceLogChannel &channel, uint32_t size)
{
    if (portState_ == TPortState::PortShuttingDown)
        return;
    if (size != 0)
        this->*channel.size = size;
    const int32_t result = (RequireDispatcher().*channel.init)(this->*channel.size);
    if (channel.initChecked)
        CheckException(this, result);
    this->*channel.state = TTraceLogState::tlOn;
}

void TSerCustomComPort::WriteChannel(const TraceLogChannel &channel, TChannelWrite write, const std::string &name,
                                     bool hex)
{
    if (portState_ == TPortState::PortShuttingDown)
        return;
    // The name ends at a zero byte.
    const int32_t result = (RequireDispatcher().*write)(name.c_str(), hex);
    this->*channel.state = TTraceLogState::tlOff;   // the record has ended, written or not
    CheckException(this, result);
}

void TSerCustomComPort::RunChannel(const TraceLogChannel &channel, TChannelOp op, TTraceLogState state)
{
    if (portState_ == TPortState::PortShuttingDown)
        return;
    (RequireDispatcher().*op)();
    this->*channel.state = state;
}

void TSerCustomComPort::InitTracing(uint32_t size)
{
    StartChannel(TraceChannel, size);
}

void TSerCustomComPort::DumpTrace(const std::string &name, bool hex)
{
    WriteChannel(TraceChannel, TraceChannel.dump, name, hex);
}

void TSerCustomComPort::AppendTrace(const std::string &name, bool hex)
{
    WriteChannel(TraceChannel, TraceChannel.append, name, hex);
}

void TSerCustomComPort::ClearTracing()
{
    RunChannel(TraceChannel, TraceChannel.clear, tracing_);
}

void TSerCustomComPort::AbortTracing()
{
    RunChannel(TraceChannel, TraceChannel.abort, TTraceLogState::tlOff);
}

void TSerCustomComPort::ResumeTracing()
{
    RunChannel(TraceChannel, TraceChannel.resume, TTraceLogState::tlOn);
}

void TSerCustomComPort::PauseTracing()
{
    RunChannel(TraceChannel, TraceChannel.pause, TTraceLogState::tlPause);
}

void TSerCustomComPort::InitLogging(uint32_t size)
{
    StartChannel(LogChannel, size);
}

void TSerCustomComPort::DumpLog(const std::string &name, bool hex)
{
    WriteChannel(LogChannel, LogChannel.dump, name, hex);
}

void TSerCustomComPort::AppendLog(const std::string &name, bool hex)
{
    WriteChannel(LogChannel, LogChannel.append, name, hex);
}

void TSerCustomComPort::ClearLogging()
{
    RunChannel(LogChannel, LogChannel.clear, logging_);
}

void TSerCustomComPort::AbortLogging()
{
    RunChannel(LogChannel, LogChannel.abort, TTraceLogState::tlOff);
}

void TSerCustomComPort::ResumeLogging()
{
    RunChannel(LogChannel, LogChannel.resume, TTraceLogState::tlOn);
}

void TSerCustomComPort::PauseLogging()
{
    RunChannel(LogChannel, LogChannel.pause, TTraceLogState::tlPause);
}
