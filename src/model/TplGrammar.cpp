#include "TplGrammar.h"

#include "common/BsTypes.h"
#include "common/ByteDisplay.h"
#include "platform/Text.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The first byte of HexFilter(text); 0 when it gives none.
uint8_t FirstHexByte(std::string_view text)
{
    const std::string bytes = HexFilter(text);
    return bytes.empty() ? 0 : uint8_t(bytes[0]);
}

// A range bound or code as the integer it spells, with "$" put in front when missing; 0 when it is not a number.
uint8_t HexBound(const std::string &text, const char *fallback)
{
    std::string t = text.empty() ? std::string(fallback) : text;
    if (t[0] != '$') t.insert(0, "$");
    return uint8_t(StrToIntDef(t, 0));
}

// The next field of a NUM body, trimmed and cut to 10, or the fallback when empty.
std::string NumField(std::string &rest, std::string_view delimiter, const char *fallback)
{
    std::string field = Cut(Trim(SplitStr(rest, kShortMax, delimiter)), 10);
    return field.empty() ? std::string(fallback) : field;
}

} // namespace

std::string HexFilter(std::string_view text)
{
    std::string digits;
    for (char c : text) {
        if (digits.size() == 10) break;
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) digits += c;
    }
    if (digits.size() == 1) digits.insert(0, "0");
    return HexToBytes(digits);
}

int32_t NumValueCount(double min, double max, double step)
{
    // The smallest n with min + n * step >= max; a relative allowance absorbs the rounding of the division.
    const double quotient = (max - min) / step;
    const double steps = std::ceil(quotient - 1e-9 * std::max(1.0, std::fabs(quotient)));
    if (!(steps < kNumValueLimit)) return kNumValueLimit;
    return steps > 0 ? int32_t(steps) + 1 : 1;
}

TTplVal MakeValueLine(uint8_t kind, std::string_view body, std::string_view question)
{
    TTplVal v;
    v.Kind = kind;
    v.Question = question;
    v.Name = body;
    switch (kind) {
    case trVal:
        v.Name = StrBefore(body, ",");
        v.First = v.Last = FirstHexByte(StrAfter(body, ","));
        v.Count = 1;
        break;
    case trHex:
    case trChr: {
        const bool range = body.find("..") != std::string_view::npos;
        const std::string lo = Cut(range ? Trim(StrBefore(body, "..")) : std::string(body), 10);
        const std::string hi = Cut(range ? Trim(StrAfter(body, "..")) : std::string(), 10);
        v.First = HexBound(lo, "$00");
        v.Last = HexBound(hi, "$FF");
        v.Count = v.Last >= v.First ? v.Last - v.First + 1 : 0;
        break;
    }
    case trNum: {
        std::string rest(body);
        v.Min = StrToRealDef(NumField(rest, "..", "0"), 0);
        v.Max = StrToRealDef(NumField(rest, ",", "10000"), 0);
        const std::string code = NumField(rest, ",", "$20");
        v.Step = StrToRealDef(NumField(rest, ",", "1"), 0);
        if (v.Step <= 0) v.Step = 1;
        v.Unit = SplitStr(rest, kShortMax, ",");
        v.First = HexBound(code, "$20");
        v.Count = NumValueCount(v.Min, v.Max, v.Step);
        v.Last = uint8_t(v.First + v.Count - 1);
        break;
    }
    default:
        break;
    }
    return v;
}

TplEntryLine ParseEntryLine(std::string_view body)
{
    TplEntryLine e;
    std::string text(body);
    if (auto at = text.find(" @"); at != std::string::npos) {
        // An empty condition is no condition.
        if (std::string condition = Trim(text.substr(at + 2)); !condition.empty()) e.Condition = std::move(condition);
        text.resize(at);
    }

    std::string name = Cut(StrBefore(text, ","), 30);
    std::string rest = StrAfter(text, ",");
    if (!name.empty() && name[0] == '~') {
        name.erase(0, 1);
        e.IsOverflow = true;
    }
    if (name.size() >= 4) {
        const std::string tail = UpperCase(name.substr(name.size() - 3));
        e.ByteOrder = tail == "LSB" ? 1 : tail == "MSB" ? 2 : 0;
    }
    if (name.find('[') != std::string::npos) {
        e.ArrayIndex = StrToIntDef(Trim(StrBefore(StrAfter(name, "["), "]")), 0);
        name = Trim(StrBefore(name, "["));
    }
    e.Name = name;

    e.Code = HexFilter(StrBefore(rest, "="));
    rest = StrAfter(rest, "=");
    e.ValueText = Cut(StrBefore(rest, ","), 30);
    e.Value = FirstHexByte(StrAfter(rest, ","));
    return e;
}
