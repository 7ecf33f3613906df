#include "HostReplies.h"

#include "common/BsTypes.h"
#include "platform/Text.h"

TIdentReply ParseIdentReply(std::string_view text)
{
    const std::string reply(text.substr(0, kIdentReplyMax));
    TIdentReply id;
    id.Extended = reply.find('#') != std::string::npos;
    if (!id.Extended) {
        id.DeviceId = reply;
        id.ModelName = StrBefore(reply, " ");
        id.DeviceInfo = Trim(StrAfter(reply, " "));
        return id;
    }
    std::string rest = reply;
    const std::string first = Cut(SplitLongStr(rest, "\r\n"), 40);
    const std::string second = Cut(SplitLongStr(rest, "\r\n"), 40);
    id.Message = Cut(SplitLongStr(rest, "\r\n"), 255);
    for (char &c : id.Message)
        if (c == '\\') c = '\r';
    id.ModelName = Trim(StrAfter(first, "#"));
    id.DeviceId = id.ModelName + " " + second;
    id.DeviceInfo = second;
    id.TemplateName = Trim(Cut(StrBefore(first, "#"), 8)) + ".TPL";
    return id;
}

bool TDumpCollector::Take(char b)
{
    ++bytes_;
    if (b == '\n' && line_ == "\r") return true;
    if ((b == '\r' && line_.size() == 4) || (b == '\x1B' && line_.size() >= 4)) {
        list_.push_back(line_);
        ++count_;
        line_.clear();
    }
    if (line_.size() < kMaxRecordLength) line_ += b;
    return false;
}
