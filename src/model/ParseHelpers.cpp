#include "ParseHelpers.h"

#include "common/BsTypes.h"
#include "platform/Text.h"

IntList ParseIntList(std::string_view text)
{
    IntList list;
    std::string rest(text);
    while (!rest.empty()) {
        std::string field = SplitStr(rest, 255, ",");
        if (list.Count < int32_t(list.Values.size())) list.Values[std::size_t(list.Count++)] = StrToIntDef(Trim(field), 0);
    }
    return list;
}

std::string LineTag(std::string_view line) { return Cut(UpperCase(Trim(StrBefore(line, ":"))), 3); }
