#pragma once
// Definitions (named value lists), the lines of a page (group headers and parameters) and their show conditions.

#include "TplValue.h"
#include "platform/ShortStr.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TTplEnt;
class TTplPag;

// A named list of value lines.
class TTplDef {
public:
    explicit TTplDef(std::string_view name = {}) : Name(name) {}

    ShortStr<30> Name;

    int32_t Count() const { return count_; }
    // Raises std::out_of_range for an index outside 0..Count-1.
    const TTplVal &Values(int32_t i) const;
    // Appends a value line of kind trVal, trHex, trNum or trChr made from the line's body.
    void AddValue(uint8_t kind, std::string_view body, std::string_view question);
    // Appends the value lines of the definition as they are now; nullptr does nothing. The lines are shared, not
    // copied, so that a use costs the same whatever the size of the definition.
    void CopyValues(const TTplDef *def);
    void Clear();
    // Calls pred with each value line in order until it returns true; whether one did.
    template <class Pred>
    bool AnyValue(Pred pred) const
    {
        for (const auto &run : runs_)
            for (const TTplVal &v : *run)
                if (pred(v)) return true;
        return false;
    }

private:
    // Runs of lines in order. A run that another list shares is never changed: a line added after it starts a new
    // run.
    std::vector<std::shared_ptr<std::vector<TTplVal>>> runs_;
    int32_t count_ = 0;
};

// One part of a condition: Name=values or Name<>values, values being a comma list of value texts.
class TTplSub {
public:
    // Looks the named entry up in the page (so only entries above can be found) and counts itself as its dependent.
    TTplSub(std::string_view text, TTplPag &page);

    TTplEnt *Ent = nullptr;   // not owned; nullptr when the name was not found
    bool Negate = false;
    ShortStr<255> Values;

    // False for an entry not found; else whether the entry's value text is in the list, inverted by Negate.
    bool Evaluate() const;
};

// Parts joined by "&" (all must hold) or by "|" (one must hold); a text with both is split at "&" only.
class TTplCond {
public:
    TTplCond(std::string_view text, TTplPag &page);

    std::vector<TTplSub> Items;
    bool IsAnd = false;

    bool Evaluate() const;
};

// A group header (Kind trHdr) or a parameter (Kind trEnt) of a page; its value lines are the inherited ones.
class TTplEnt : public TTplDef {
public:
    using TTplDef::TTplDef;

    ShortStr<30> ValueText;     // text of the current value, or "Value not found" / "*Entry not found"
    ShortStr<10> Code;          // code bytes
    uint8_t Value = 0;          // current value code
    int32_t Index = 0;          // position in the page
    int32_t HelpContext = -1;
    uint8_t Kind = trEnt;
    uint8_t ByteOrder = 0;      // 0 none, 1 low byte ("LSB"), 2 high byte ("MSB") of a 16-bit value
    int32_t ArrayIndex = 0;     // n of a name "X[n]": one character of a text spread over entries
    std::unique_ptr<TTplCond> Cond;   // nullptr: always shown
    bool IsOverflow = false;    // the name began with "~"
    bool Unset = false;         // the last applied configuration gave no value
    TTplPag *Owner = nullptr;
    ShortStr<255> Question;     // asked before a new value is applied; empty when none
    int32_t GroupSize = 0;      // header: entries after it up to the next header
    int32_t DependentCount = 0; // condition parts that name this entry

    // The number of values over all value lines.
    int32_t ValueCount() const;
    // The index-th value over all lines in order; an index out of range leaves `info` empty.
    void GetValueInfo(int32_t index, TTplValueInfo &info) const;
    // Whether the value text is one of the comma list's texts, without regard to case; blanks count.
    bool ValueIn(std::string_view list) const;
    bool IsVisible() const;
    // Neighbours in the page, shown or not.
    TTplEnt *Next() const;
    TTplEnt *Prev() const;
};
