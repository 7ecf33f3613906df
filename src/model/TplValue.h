#pragma once
// One value line of a template entry or definition: a single named value, or a range of values shown in
// hexadecimal, as numbers or as characters.

#include "platform/ShortStr.h"

#include <cstdint>
#include <string>

// Record codes of template lines. Entries and value lines keep the code of their line as their kind.
enum TTplRecord : uint8_t {
    trNone = 0,
    trDic = 1,    // dictionary marker
    trStr = 7,    // level block: title, help file, info
    trPag = 8,    // page
    trHdr = 9,    // group header
    trEnt = 10,   // parameter
    trVal = 11,   // one named value
    trHex = 12,   // range shown as "$HH"
    trNum = 13,   // numeric range with step and unit
    trChr = 14,   // range of characters
    trDef = 15,   // definition name, or use of a definition
};

// One value of an entry, as the editor lists it.
struct TTplValueInfo {
    ShortStr<30> Name;
    uint8_t Code = 0;
    ShortStr<255> Question;
};

struct TTplVal {
    ShortStr<30> Name;      // trVal: the value's name; otherwise the line's text
    int32_t Count = 0;      // number of values the line stands for
    uint8_t First = 0;      // code of the first value
    uint8_t Last = 0;       // code of the last value
    double Min = 0, Max = 0, Step = 0;   // trNum only
    ShortStr<15> Unit;                   // trNum only
    uint8_t Kind = trVal;
    ShortStr<255> Question;              // asked before this value is applied; empty when none

    // True when `First` <= value <= `Last`; the value's index in the line is then value - `First`.
    bool Covers(uint8_t value) const { return First <= value && value <= Last; }
    // Name (cut to 30) and code of the index-th value; false when index is outside 0..Count-1.
    bool GetItem(int32_t index, std::string &name, uint8_t &code) const;
};
