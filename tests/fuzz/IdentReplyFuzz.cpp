// The reader's identification reply, plain or extended: cut where the protocol cuts it, whatever its length.

#include "FuzzTarget.h"

#include "link/HostReplies.h"

FUZZ_TARGET(ident_reply)
{
    const TIdentReply id = ParseIdentReply(data);
    FUZZ_CHECK(id.Extended == (data.substr(0, kIdentReplyMax).find('#') != std::string_view::npos));
    FUZZ_CHECK(id.DeviceId.size() <= kIdentReplyMax && id.ModelName.size() <= kIdentReplyMax);
    FUZZ_CHECK(id.DeviceInfo.size() <= kIdentReplyMax);
    if (id.Extended) {
        FUZZ_CHECK(id.ModelName.size() <= 40 && id.DeviceInfo.size() <= 40);
        FUZZ_CHECK(id.TemplateName.size() <= 8 + 4 && id.Message.size() <= 255);
        FUZZ_CHECK(id.Message.find('\\') == std::string::npos);
    } else {
        FUZZ_CHECK(id.TemplateName.empty() && id.Message.empty());
    }
}
