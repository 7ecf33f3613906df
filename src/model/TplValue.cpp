#include "TplValue.h"

#include "common/ByteDisplay.h"
#include "platform/Text.h"

bool TTplVal::GetItem(int32_t index, std::string &name, uint8_t &code) const
{
    if (index < 0 || index >= Count) return false;
    code = uint8_t(First + index);
    switch (Kind) {
    case trVal:
        name = Name;
        code = First;
        break;
    case trHex:
        name = "$" + BytesToHex(std::string(1, char(code)));
        break;
    case trNum:
        name = Cut(FloatToStr(index * Step + Min) + Unit.str(), 30);
        break;
    case trChr:
        if (code <= 32)
            name = ControlCharNames[code];
        else if (code < 127)
            name = std::string(1, char(code));
        else
            name = BytesToHex(std::string(1, char(code)));
        break;
    default:
        name.clear();
        break;
    }
    return true;
}
