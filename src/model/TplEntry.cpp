#include "TplEntry.h"

#include "TplGrammar.h"
#include "TplPage.h"
#include "common/BsTypes.h"
#include "platform/Text.h"

#include <algorithm>

void TTplDef::AddValue(uint8_t kind, std::string_view body, std::string_view question)
{
    Items.push_back(MakeValueLine(kind, body, question));
}

void TTplDef::Clear()
{
    Items.clear();
    Name = "";
}

TTplSub::TTplSub(std::string_view text, TTplPag &page)
{
    Negate = text.find('=') == std::string_view::npos;
    const std::string_view separator = Negate ? "<>" : "=";
    Values = StrAfter(text, separator);
    Ent = page.FindEntry(Cut(StrBefore(text, separator), 30));
    if (Ent) ++Ent->DependentCount;
}

bool TTplSub::Evaluate() const { return Ent && Ent->ValueIn(Values) != Negate; }

TTplCond::TTplCond(std::string_view text, TTplPag &page)
{
    IsAnd = text.find('&') != std::string_view::npos;
    std::string rest(text);
    while (!rest.empty()) Items.emplace_back(SplitStr(rest, kShortMax, IsAnd ? "&" : "|"), page);
}

bool TTplCond::Evaluate() const
{
    for (const TTplSub &sub : Items)
        if (sub.Evaluate() != IsAnd) return !IsAnd;
    return IsAnd;
}

void TTplEnt::CopyValues(const TTplDef *def)
{
    if (def) Items.insert(Items.end(), def->Items.begin(), def->Items.end());
}

int32_t TTplEnt::ValueCount() const
{
    int64_t sum = 0;
    for (const TTplVal &v : Items) sum += v.Count;
    return int32_t(std::min<int64_t>(sum, INT32_MAX));
}

void TTplEnt::GetValueInfo(int32_t index, TTplValueInfo &info) const
{
    info = TTplValueInfo {};
    if (index < 0) return;
    for (const TTplVal &v : Items) {
        if (index < v.Count) {
            std::string name;
            v.GetItem(index, name, info.Code);
            info.Name = name;
            info.Question = v.Question;
            return;
        }
        index -= v.Count;
    }
}

bool TTplEnt::ValueIn(std::string_view list) const
{
    return ("," + UpperCase(list) + ",").find("," + UpperCase(ValueText) + ",") != std::string::npos;
}

bool TTplEnt::IsVisible() const { return !Cond || Cond->Evaluate(); }

TTplEnt *TTplEnt::Next() const
{
    return Owner && Index + 1 < Owner->Count() ? &Owner->Entries(Index + 1) : nullptr;
}

TTplEnt *TTplEnt::Prev() const { return Owner && Index > 0 ? &Owner->Entries(Index - 1) : nullptr; }
