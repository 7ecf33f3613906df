#include "ReaderSim.h"

#include <algorithm>

namespace testsupport {

namespace {

const std::string kEsc = "\x1b";
const std::string kCrLf = "\r\n";
constexpr auto kStaleInput = std::chrono::milliseconds(500);

// Commands with fixed bytes; the enter command and custom commands are configured.
const std::vector<std::pair<SimKind, std::string>> &fixedCommands()
{
    static const std::vector<std::pair<SimKind, std::string>> commands {
        {SimKind::Exit, kEsc + "[A"},
        {SimKind::ProgramMode, kEsc + "[B"},
        {SimKind::Dump, kEsc + "[D"},
        {SimKind::Identify, kEsc + "[E"},
        {SimKind::RestoreDefaults, kEsc + "JA "},
        {SimKind::SaveEeprom, kEsc + "IA "},
        {SimKind::SaveRam, kEsc + "IA!"},
    };
    return commands;
}

bool isParsedCommandOrRecord(SimKind kind)
{
    return kind != SimKind::Unparsed && kind != SimKind::Noise;
}

} // namespace

std::string extendedIdentification(const std::string &templateAndModel, const std::string &info,
                                   const std::string &message)
{
    return templateAndModel + kCrLf + info + kCrLf + message;
}

ReaderSim::ReaderSim()
    : enterCommand_(kEsc + "[C")
    , identification_("M100 V1.2")
{
}

void ReaderSim::setReply(SimKind kind, const std::string &bytes)
{
    std::lock_guard lock(mutex_);
    replies_[kind] = bytes;
}

void ReaderSim::addCustomCommand(const std::string &command, const std::string &reply)
{
    std::lock_guard lock(mutex_);
    customCommands_.emplace_back(command, reply);
}

void ReaderSim::setDeviceError(SimKind kind, const std::string &text, bool persistent)
{
    std::lock_guard lock(mutex_);
    deviceErrors_[kind] = DeviceError {text, persistent};
}

void ReaderSim::clearDeviceErrors()
{
    std::lock_guard lock(mutex_);
    deviceErrors_.clear();
}

void ReaderSim::setFactory(const ReaderConfigStore &store)
{
    std::lock_guard lock(mutex_);
    factory_ = eeprom_ = ram_ = store;
}

void ReaderSim::powerCycle()
{
    std::lock_guard lock(mutex_);
    ram_ = eeprom_;
    state_ = ReaderState::Normal;
    pending_.clear();
    defaultsRequested_ = false;
    buffer_.clear();
}

std::vector<ReaderOutput> ReaderSim::onBytes(const std::string &bytes, SimClock::time_point now)
{
    std::lock_guard lock(mutex_);
    const LineSettings host = probe_ ? probe_() : line_;
    const bool understood = host == line_;
    received_.push_back(ReceivedChunk {now, host, understood, bytes});

    std::vector<ReaderOutput> out;
    if (!buffer_.empty() && now - bufferSince_ > kStaleInput)
        discardPartial(now);
    if (!understood) {
        discardPartial(now);
        addItem(now, SimKind::Noise, bytes);
        return out;
    }
    for (char b : bytes) {
        const SimClock::time_point at = arrival(now);
        if (buffer_.empty())
            bufferSince_ = at;
        buffer_ += b;
        parse(at, out);
    }
    return out;
}

SimClock::time_point ReaderSim::arrival(SimClock::time_point now)
{
    if (!wireTime_)
        return now;
    const int bits = 1 + line_.dataBits + (line_.parity == 'N' ? 0 : 1) + line_.stopBits;
    const auto charTime = std::chrono::duration_cast<SimClock::duration>(std::chrono::duration<double>(double(bits) / line_.baud));
    wireFree_ = std::max(wireFree_, now) + charTime;
    return wireFree_;
}

void ReaderSim::noteSent(const std::string &bytes, SimClock::time_point now)
{
    std::lock_guard lock(mutex_);
    sent_.push_back(SentChunk {now, bytes});
}

// Runs after each byte: a whole command is executed, a command prefix or a partial record waits for
// more, anything else loses its first byte as unparsed input.
void ReaderSim::parse(SimClock::time_point now, std::vector<ReaderOutput> &out)
{
    while (!buffer_.empty()) {
        if (auto kind = matchCommand()) {
            const std::string command = std::move(buffer_);
            buffer_.clear();
            execute(*kind, command, now, out);
            return;
        }
        if (isCommandPrefix())
            return;
        if (state_ != ReaderState::Normal && buffer_[0] == kEsc[0]) {
            if (buffer_.size() < 4)
                return;
            const std::string record = buffer_.substr(0, 4);
            buffer_.erase(0, 4);
            bufferSince_ = now;
            execute(state_ == ReaderState::Program ? SimKind::Record : SimKind::RecordOutsideProgram,
                    record, now, out);
            continue;
        }
        addItem(now, SimKind::Unparsed, buffer_.substr(0, 1));
        buffer_.erase(0, 1);
        bufferSince_ = now;
    }
}

std::optional<SimKind> ReaderSim::matchCommand() const
{
    if (buffer_ == enterCommand_)
        return SimKind::Enter;
    for (const auto &[kind, bytes] : fixedCommands()) {
        if (buffer_ == bytes)
            return kind;
    }
    if (customReply(buffer_))
        return SimKind::Custom;
    return std::nullopt;
}

const std::string *ReaderSim::customReply(const std::string &command) const
{
    for (const auto &entry : customCommands_) {
        if (entry.first == command)
            return &entry.second;
    }
    return nullptr;
}

bool ReaderSim::isCommandPrefix() const
{
    auto extends = [&](const std::string &command) {
        return command.size() > buffer_.size() && command.compare(0, buffer_.size(), buffer_) == 0;
    };
    if (extends(enterCommand_))
        return true;
    for (const auto &entry : fixedCommands()) {
        if (extends(entry.second))
            return true;
    }
    for (const auto &entry : customCommands_) {
        if (extends(entry.first))
            return true;
    }
    return false;
}

void ReaderSim::addItem(SimClock::time_point now, SimKind kind, const std::string &bytes)
{
    items_.push_back(SimItem {now, kind, bytes});
}

void ReaderSim::discardPartial(SimClock::time_point now)
{
    if (buffer_.empty())
        return;
    addItem(now, SimKind::Unparsed, buffer_);
    buffer_.clear();
}

void ReaderSim::execute(SimKind kind, const std::string &bytes, SimClock::time_point now,
                        std::vector<ReaderOutput> &out)
{
    addItem(now, kind, bytes);
    if (kind == SimKind::Exit)
        stuck_ = false;
    if (silent_ || !accepts(kind))
        return;

    auto error = deviceErrors_.find(kind);
    if (error != deviceErrors_.end()) {
        out.push_back(ReaderOutput {now + latency_, kEsc + "W" + error->second.text + kCrLf});
        if (!error->second.persistent)
            deviceErrors_.erase(error);
        return;
    }
    act(kind, bytes, now, out);
}

bool ReaderSim::accepts(SimKind kind) const
{
    switch (kind) {
    case SimKind::Enter:
        return !stuck_;
    case SimKind::Exit:
        return state_ != ReaderState::Normal || answersExitOutsideHost_;
    case SimKind::RestoreDefaults:
    case SimKind::Record:
        return state_ == ReaderState::Program;
    case SimKind::RecordOutsideProgram:
    case SimKind::Unparsed:
    case SimKind::Noise:
        return false;
    default:
        return state_ != ReaderState::Normal;
    }
}

void ReaderSim::act(SimKind kind, const std::string &bytes, SimClock::time_point now,
                    std::vector<ReaderOutput> &out)
{
    const auto due = now + latency_;
    switch (kind) {
    case SimKind::Enter:
        state_ = ReaderState::Host;
        pending_.clear();
        defaultsRequested_ = false;
        out.push_back(ReaderOutput {due, replyFor(kind, kEsc + "H" + kCrLf)});
        break;
    case SimKind::Exit:
        state_ = ReaderState::Normal;
        pending_.clear();
        defaultsRequested_ = false;
        out.push_back(ReaderOutput {due, replyFor(kind, kEsc + "X" + kCrLf)});
        break;
    case SimKind::ProgramMode:
        state_ = ReaderState::Program;
        out.push_back(ReaderOutput {due, replyFor(kind, kEsc + "P" + kCrLf)});
        break;
    case SimKind::Dump:
        queueDump(due, out);
        break;
    case SimKind::Identify:
        out.push_back(ReaderOutput {due, replyFor(kind, identification_)});
        break;
    case SimKind::RestoreDefaults:
        pending_.clear();
        defaultsRequested_ = true;
        break;
    case SimKind::SaveRam:
    case SimKind::SaveEeprom:
        commitPending();
        if (kind == SimKind::SaveEeprom)
            eeprom_ = ram_;
        state_ = ReaderState::Host;
        out.push_back(ReaderOutput {kind == SimKind::SaveEeprom ? due + eepromDelay_ : due,
                                    replyFor(kind, kEsc + "K" + kCrLf)});
        break;
    case SimKind::Custom:
        out.push_back(ReaderOutput {due, *customReply(bytes)});
        break;
    case SimKind::Record:
        pending_.apply(bytes);
        break;
    default:
        break;
    }
}

void ReaderSim::commitPending()
{
    if (defaultsRequested_)
        ram_ = factory_;
    ram_.applyAll(pending_);
    pending_.clear();
    defaultsRequested_ = false;
}

std::string ReaderSim::replyFor(SimKind kind, const std::string &standard) const
{
    auto reply = replies_.find(kind);
    return reply != replies_.end() ? reply->second : standard;
}

void ReaderSim::queueDump(SimClock::time_point due, std::vector<ReaderOutput> &out) const
{
    std::string body;
    for (const std::string &record : ram_.records()) {
        if (dump_.recordSeparator && !body.empty())
            body += kCrLf;
        body += record;
    }
    if (dump_.truncateAfter)
        body.resize(std::min(body.size(), *dump_.truncateAfter));
    else
        body += kCrLf;

    const std::string header = replyFor(SimKind::Dump, kEsc + "L" + kCrLf);
    if (dump_.gap.count() <= 0) {
        out.push_back(ReaderOutput {due, header + body});
        return;
    }
    out.push_back(ReaderOutput {due, header});
    for (size_t i = 0; i < body.size(); ++i)
        out.push_back(ReaderOutput {due + dump_.gap * long(i + 1), body.substr(i, 1)});
}

std::string ReaderSim::receivedBytes() const
{
    return joined(received_, [](const ReceivedChunk &) { return true; });
}

std::string ReaderSim::understoodBytes() const
{
    return joined(received_, [](const ReceivedChunk &chunk) { return chunk.understood; });
}

std::string ReaderSim::sentBytes() const
{
    return joined(sent_, [](const SentChunk &) { return true; });
}

std::vector<SimKind> ReaderSim::sequence() const
{
    std::lock_guard lock(mutex_);
    std::vector<SimKind> kinds;
    for (const SimItem &item : items_) {
        if (isParsedCommandOrRecord(item.kind))
            kinds.push_back(item.kind);
    }
    return kinds;
}

int ReaderSim::count(SimKind kind) const
{
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const SimItem &item : items_)
        n += item.kind == kind;
    return n;
}

::testing::AssertionResult ReaderSim::expectSequence(const std::vector<SimKind> &expected) const
{
    if (sequence() == expected)
        return ::testing::AssertionSuccess();
    std::string wanted;
    for (SimKind kind : expected)
        wanted += std::string(wanted.empty() ? "" : ", ") + toString(kind);
    return ::testing::AssertionFailure() << "expected " << wanted << "\nreceived:\n" << describe();
}

std::string ReaderSim::describe() const
{
    std::lock_guard lock(mutex_);
    std::string text;
    for (const SimItem &item : items_)
        text += std::string("  ") + toString(item.kind) + " " + toHex(item.bytes) + "\n";
    return text;
}

void ReaderSim::clearTranscript()
{
    std::lock_guard lock(mutex_);
    received_.clear();
    sent_.clear();
    items_.clear();
}

} // namespace testsupport
