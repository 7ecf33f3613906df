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

// A record's fields and the dispatcher operations named after it (InitTracing, DumpTrace, ...).
#define SER_CHANNEL(state, size, maxSize, name, hex, initChecked, Running, Record)                                    \
    {&TSerCustomComPort::state,           &TSerCustomComPort::size,            maxSize,                               \
     &TSerCustomComPort::name,            &TSerCustomComPort::hex,             initChecked,                           \
     &TSerBaseDispatcher::Init##Running,  &TSerBaseDispatcher::Dump##Record,   &TSerBaseDispatcher::Append##Record,   \
     &TSerBaseDispatcher::Clear##Running, &TSerBaseDispatcher::Abort##Running, &TSerBaseDispatcher::Resume##Running,  \
     &TSerBaseDispatcher::Pause##Running}
const TSerCustomComPort::TraceLogChannel TSerCustomComPort::TraceChannel =
    SER_CHANNEL(tracing_, traceSize_, MaxTraceSize, traceName_, traceHex_, true, Tracing, Trace);
const TSerCustomComPort::TraceLogChannel TSerCustomComPort::LogChannel =
    SER_CHANNEL(logging_, logSize_, MaxLogSize, logName_, logHex_, false, Logging, Log);
#undef SER_CHANNEL

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

// The public operations of one record, named after it: InitTracing, DumpTrace, ... and InitLogging, DumpLog, ...
#define SER_CHANNEL_OPERATIONS(channel, state, Running, Record)                                              \
    void TSerCustomComPort::Init##Running(uint32_t size)                                                     \
    {                                                                                                        \
        StartChannel(channel, size);                                                                         \
    }                                                                                                        \
    void TSerCustomComPort::Dump##Record(const std::string &name, bool hex)                                  \
    {                                                                                                        \
        WriteChannel(channel, channel.dump, name, hex);                                                      \
    }                                                                                                        \
    void TSerCustomComPort::Append##Record(const std::string &name, bool hex)                                \
    {                                                                                                        \
        WriteChannel(channel, channel.append, name, hex);                                                    \
    }                                                                                                        \
    void TSerCustomComPort::Clear##Running()                                                                 \
    {                                                                                                        \
        RunChannel(channel, channel.clear, state);                                                           \
    }                                                                                                        \
    void TSerCustomComPort::Abort##Running()                                                                 \
    {                                                                                                        \
        RunChannel(channel, channel.abort, TTraceLogState::tlOff);                                           \
    }                                                                                                        \
    void TSerCustomComPort::Resume##Running()                                                                \
    {                                                                                                        \
        RunChannel(channel, channel.resume, TTraceLogState::tlOn);                                           \
    }                                                                                                        \
    void TSerCustomComPort::Pause##Running()                                                                 \
    {                                                                                                        \
        RunChannel(channel, channel.pause, TTraceLogState::tlPause);                                         \
    }
SER_CHANNEL_OPERATIONS(TraceChannel, tracing_, Tracing, Trace)
SER_CHANNEL_OPERATIONS(LogChannel, logging_, Logging, Log)
#undef SER_CHANNEL_OPERATIONS
