#include "LoaderSim.h"

#include <algorithm>
#include <numeric>

namespace testsupport {

namespace {

constexpr auto kQuiet = std::chrono::milliseconds(250);   // a lone end byte or a broken command went stale
const std::string kEsc = "\x1b";
const std::string kCrLf = "\r\n";
const std::string kXon = "\x11", kXoff = "\x13";

const std::pair<const char *, int32_t> kSpeeds[] = {{"BN", 19200}, {"BH", 38400}, {"BX", 57600}, {"BY", 115200}};

} // namespace

const char *toString(LoaderKind kind)
{
    switch (kind) {
    case LoaderKind::Enter: return "Enter";
    case LoaderKind::Exit: return "Exit";
    case LoaderKind::Quit: return "Quit";
    case LoaderKind::Handshake: return "Handshake";
    case LoaderKind::Version: return "Version";
    case LoaderKind::Erase: return "Erase";
    case LoaderKind::Run: return "Run";
    case LoaderKind::Speed: return "Speed";
    case LoaderKind::Load: return "Load";
    case LoaderKind::Block: return "Block";
    case LoaderKind::End: return "End";
    case LoaderKind::Abandon: return "Abandon";
    case LoaderKind::Unparsed: return "Unparsed";
    case LoaderKind::Noise: return "Noise";
    }
    return "?";
}

LoaderSim::LoaderSim() = default;

void LoaderSim::setResidentBaud(int32_t baud) { std::lock_guard lock(mutex_); residentBaud_ = baud; }
void LoaderSim::setLoaderBaud(int32_t baud) { std::lock_guard lock(mutex_); loaderBaud_ = baud; }
void LoaderSim::setStartInLoader(bool inLoader)
{
    std::lock_guard lock(mutex_);
    state_ = inLoader ? LoaderState::Loader : LoaderState::Resident;
}
void LoaderSim::setResidentStuck(bool stuck) { std::lock_guard lock(mutex_); stuck_ = stuck; }
void LoaderSim::setHostModeRefused(bool refused) { std::lock_guard lock(mutex_); refused_ = refused; }
void LoaderSim::setHandshakeAnswer(const std::string &answer) { std::lock_guard lock(mutex_); handshakeAnswer_ = answer; }
void LoaderSim::setVersionCommand(const std::string &command, const std::string &reply)
{
    std::lock_guard lock(mutex_);
    versionCommand_ = command;
    versionReply_ = reply;
}
void LoaderSim::setEraseCommand(const std::string &command, const std::string &reply)
{
    std::lock_guard lock(mutex_);
    eraseCommand_ = command;
    eraseReply_ = reply;
}
void LoaderSim::setRunCommand(const std::string &command, const std::string &reply)
{
    std::lock_guard lock(mutex_);
    runCommand_ = command;
    runReply_ = reply;
}
void LoaderSim::setEcho(bool echo) { std::lock_guard lock(mutex_); echo_ = echo; }
void LoaderSim::setSilent(bool silent) { std::lock_guard lock(mutex_); silent_ = silent; }
void LoaderSim::setHandshakeLimit(int answers) { std::lock_guard lock(mutex_); handshakeLimit_ = answers; }
void LoaderSim::setBadSumAt(int block) { std::lock_guard lock(mutex_); badSumAt_ = block; }
void LoaderSim::setAbortAt(int block) { std::lock_guard lock(mutex_); abortAt_ = block; }

void LoaderSim::setHoldAt(size_t bytes, LineHold hold)
{
    std::lock_guard lock(mutex_);
    holdAt_ = bytes;
    hold_ = hold;
}

void LoaderSim::releaseLine()
{
    std::lock_guard lock(mutex_);
    if (holding_ && hold_ == LineHold::Xoff)
        pending_ += kXon;
    holding_ = false;
    holdAt_ = SIZE_MAX;
}

size_t LoaderSim::acceptable() const
{
    std::lock_guard lock(mutex_);
    return holdAt_ == SIZE_MAX ? SIZE_MAX : holdAt_ - std::min(holdAt_, received_.size());
}

int32_t LoaderSim::listeningBaud() const
{
    return state_ == LoaderState::Resident || state_ == LoaderState::HostMode ? residentBaud_ : loaderBaud_;
}

std::vector<LoaderSim::Command> LoaderSim::commands() const
{
    if (state_ == LoaderState::Resident || state_ == LoaderState::HostMode)
        return {{LoaderKind::Enter, kEsc + "[C"}, {LoaderKind::Exit, kEsc + "[A"}, {LoaderKind::Quit, kEsc + "[Q"}};
    std::vector<Command> loader {{LoaderKind::Handshake, "\r"},        {LoaderKind::Version, versionCommand_},
                                 {LoaderKind::Erase, eraseCommand_},   {LoaderKind::Run, runCommand_},
                                 {LoaderKind::Load, "L"}};
    for (const auto &[command, baud] : kSpeeds)
        loader.push_back({LoaderKind::Speed, command});
    return loader;
}

std::string LoaderSim::onBytes(const std::string &bytes, int32_t baud, SimClock::time_point now)
{
    std::lock_guard lock(mutex_);
    received_ += bytes;
    const int32_t listening = listeningBaud();
    if (listening != 0 && baud != 0 && baud != listening) {
        add(now, LoaderKind::Noise, bytes, baud);
        return {};
    }
    buffer_ += bytes;
    bufferSince_ = now;
    bufferBaud_ = baud;
    std::string out;
    parse(now, baud, out);
    if (!holding_ && received_.size() >= holdAt_) {
        holding_ = true;
        if (hold_ == LineHold::Xoff)
            out += kXoff;
    }
    return silent_ ? std::string() : out;
}

void LoaderSim::parse(SimClock::time_point now, int32_t baud, std::string &out)
{
    std::string unparsed;
    while (!buffer_.empty()) {
        if (state_ == LoaderState::Receiving) {
            receiveBlockBytes(now, baud, out);
            break;
        }
        const Command *match = nullptr;
        bool prefix = false;
        const std::vector<Command> known = commands();
        for (const Command &command : known) {
            if (command.bytes.empty())
                continue;
            if (buffer_.compare(0, command.bytes.size(), command.bytes) == 0 &&
                (!match || command.bytes.size() > match->bytes.size()))
                match = &command;
            else if (command.bytes.size() > buffer_.size() && command.bytes.compare(0, buffer_.size(), buffer_) == 0)
                prefix = true;
        }
        if (match) {
            if (!unparsed.empty())
                add(now, LoaderKind::Unparsed, std::exchange(unparsed, {}), baud);
            take(match->kind, match->bytes.size(), now, baud, out);
        } else if (prefix) {
            break;   // wait for the rest of the command
        } else {
            unparsed += buffer_[0];
            buffer_.erase(0, 1);
        }
    }
    if (!unparsed.empty())
        add(now, LoaderKind::Unparsed, unparsed, baud);
}

void LoaderSim::answer(std::string &out, const std::string &command, const std::string &reply) const
{
    if (echo_)
        out += command + kCrLf;
    out += reply;
}

void LoaderSim::take(LoaderKind kind, size_t length, SimClock::time_point now, int32_t baud, std::string &out)
{
    const std::string bytes = buffer_.substr(0, length);
    buffer_.erase(0, length);
    add(now, kind, bytes, baud);
    switch (kind) {
    case LoaderKind::Enter:
        if (!refused_ && (!stuck_ || exitSeen_)) {
            state_ = LoaderState::HostMode;
            out += kEsc + "H" + kCrLf;
        }
        break;
    case LoaderKind::Exit:
        exitSeen_ = true;
        state_ = LoaderState::Resident;
        out += kEsc + "X" + kCrLf;
        break;
    case LoaderKind::Quit:
        if (state_ == LoaderState::HostMode)
            state_ = LoaderState::Loader;
        break;
    case LoaderKind::Handshake:
        if (handshakeLimit_ < 0 || handshakes_ < handshakeLimit_)
            answer(out, bytes, handshakeAnswer_);
        ++handshakes_;
        break;
    case LoaderKind::Version: answer(out, bytes, versionReply_ + kCrLf); break;
    case LoaderKind::Erase: answer(out, bytes, eraseReply_ + kCrLf); break;
    case LoaderKind::Run:
        answer(out, bytes, runReply_ + kCrLf);
        state_ = LoaderState::Resident;
        exitSeen_ = false;
        break;
    case LoaderKind::Speed:
        for (const auto &[command, speed] : kSpeeds)
            if (bytes == command)
                loaderBaud_ = speed;
        break;
    case LoaderKind::Load: state_ = LoaderState::Receiving; break;
    default: break;
    }
}

void LoaderSim::receiveBlockBytes(SimClock::time_point now, int32_t baud, std::string &out)
{
    while (buffer_.size() >= BlockSize) {
        blocks_.push_back(buffer_.substr(0, BlockSize));
        buffer_.erase(0, BlockSize);
        add(now, LoaderKind::Block, {}, baud);
        const int index = int(blocks_.size()) - 1;
        if (abortAt_ >= 0 && index >= abortAt_)
            continue;
        const std::string &block = blocks_.back();
        uint32_t sum = std::accumulate(block.begin(), block.end(), 0u,
                                       [](uint32_t s, char c) { return s + uint8_t(c); });
        if (index == badSumAt_)
            ++sum;
        out += std::string {char(sum & 0xFF), char((sum >> 8) & 0xFF), char((sum >> 16) & 0xFF)};
    }
}

std::optional<SimClock::time_point> LoaderSim::nextDeadline() const
{
    std::lock_guard lock(mutex_);
    if (!pending_.empty())
        return SimClock::now();
    if (buffer_.empty() || (state_ == LoaderState::Receiving && buffer_ != "E" && buffer_ != "W"))
        return std::nullopt;
    return bufferSince_ + kQuiet;
}

std::string LoaderSim::onIdle(SimClock::time_point now)
{
    std::lock_guard lock(mutex_);
    std::string out = std::exchange(pending_, {});
    settleStale(now, out);
    return silent_ ? std::string() : out;
}

void LoaderSim::settleStale(SimClock::time_point now, std::string &out)
{
    if (buffer_.empty() || now - bufferSince_ < kQuiet)
        return;
    if (state_ != LoaderState::Receiving) {
        add(now, LoaderKind::Unparsed, std::exchange(buffer_, {}), bufferBaud_);
        return;
    }
    if (buffer_ == "E" || buffer_ == "W") {
        const bool end = buffer_ == "E";
        add(now, end ? LoaderKind::End : LoaderKind::Abandon, std::exchange(buffer_, {}), bufferBaud_);
        state_ = LoaderState::Loader;
        out += (end ? "OK" : "ABORTED") + kCrLf;
    }
}

void LoaderSim::add(SimClock::time_point now, LoaderKind kind, const std::string &bytes, int32_t baud)
{
    items_.push_back({now, kind, bytes, baud});
}

LoaderState LoaderSim::state() const { std::lock_guard lock(mutex_); return state_; }
int32_t LoaderSim::loaderBaud() const { std::lock_guard lock(mutex_); return loaderBaud_; }
std::string LoaderSim::receivedBytes() const { std::lock_guard lock(mutex_); return received_; }
std::vector<LoaderItem> LoaderSim::items() const { std::lock_guard lock(mutex_); return items_; }
std::vector<std::string> LoaderSim::blocks() const { std::lock_guard lock(mutex_); return blocks_; }

size_t LoaderSim::partialBlock() const
{
    std::lock_guard lock(mutex_);
    return state_ == LoaderState::Receiving ? buffer_.size() : 0;
}

std::vector<LoaderKind> LoaderSim::sequence() const
{
    std::lock_guard lock(mutex_);
    std::vector<LoaderKind> kinds;
    for (const LoaderItem &item : items_)
        if (item.kind != LoaderKind::Noise)
            kinds.push_back(item.kind);
    return kinds;
}

int LoaderSim::count(LoaderKind kind) const
{
    std::lock_guard lock(mutex_);
    return int(std::count_if(items_.begin(), items_.end(), [kind](const LoaderItem &i) { return i.kind == kind; }));
}

::testing::AssertionResult LoaderSim::expectSequence(const std::vector<LoaderKind> &expected) const
{
    const std::vector<LoaderKind> actual = sequence();
    if (actual == expected)
        return ::testing::AssertionSuccess();
    auto names = [](const std::vector<LoaderKind> &kinds) {
        std::string all;
        for (LoaderKind kind : kinds)
            all += std::string(all.empty() ? "" : " ") + toString(kind);
        return all;
    };
    return ::testing::AssertionFailure() << "expected: " << names(expected) << "\n  actual: " << names(actual);
}

} // namespace testsupport
