#include "SerStringMatch.h"

#include "platform/Text.h"

namespace {

char UpperChar(char c) { return UpperCase(std::string_view(&c, 1))[0]; }

} // namespace

TSerStringMatch::TSerStringMatch(std::string_view wanted, bool ignoreCase)
    : wanted_(wanted.substr(0, MaxLength)), ignoreCase_(ignoreCase)
{
    if (ignoreCase_)
        for (char &c : wanted_) c = UpperChar(c);
}

bool TSerStringMatch::Take(char c)
{
    if (ignoreCase_)
        c = UpperChar(c);
    if (c == wanted_[index_]) {
        if (++index_ < wanted_.size())
            return false;
        index_ = 0;
        return true;
    }
    index_ = c == wanted_[0] ? 1 : 0;
    return false;
}
