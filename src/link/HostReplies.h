#pragma once
// The reader's replies taken apart: the identification reply in its plain and its extended form, and the byte loop
// that collects a configuration dump into records.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

constexpr std::size_t kIdentReplyMax = 255;     // bytes of the identification reply that count
constexpr std::size_t kMaxRecordLength = 80;    // bytes kept of one dump record
constexpr std::size_t kMaxDumpRecords = 1024;   // what a configuration image can hold
constexpr std::size_t kMaxDumpBytes = (kMaxDumpRecords + 1) * kMaxRecordLength;

struct TIdentReply {
    bool Extended = false;     // the reply holds "#": template line, information line, message
    std::string DeviceId;
    std::string ModelName;
    std::string DeviceInfo;
    std::string TemplateName;  // extended form: the first line's text before "#", 8 bytes at most, then ".TPL"
    std::string Message;       // extended form: the third line, each "\" made a CR
};

// Only the first kIdentReplyMax bytes of the reply are read.
TIdentReply ParseIdentReply(std::string_view reply);

// Collects the bytes that follow the dump's start reply into records: a record is taken at the next ESC when it
// holds 4 bytes or more, or at a CR when it holds exactly 4; CR LF on an empty line ends the dump.
class TDumpCollector {
public:
    explicit TDumpCollector(std::vector<std::string> &list) : list_(list) {}

    // True when the byte completed the dump's closing empty line.
    bool Take(char b);
    // False once the reader has sent more than a dump of a full image: it is then cut off.
    bool WantsMore() const { return count_ <= kMaxDumpRecords && bytes_ <= kMaxDumpBytes; }
    std::size_t Count() const { return count_; }

private:
    std::vector<std::string> &list_;
    std::string line_;
    std::size_t count_ = 0;
    std::size_t bytes_ = 0;
};
