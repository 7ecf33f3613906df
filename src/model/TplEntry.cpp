#include "TplEntry.h"

#include "TplGrammar.h"
#include "TplPage.h"
#include "common/BsTypes.h"
#include "platform/Text.h"

#include <algorithm>
#include <stdexcept>

const TTplVal &TTplDef::Values(int32_t i) const
{
    if (i >= 0)
        for (const auto &run : runs_) {
            if (std::size_t(i) < run->size()) return (*run)[std::size_t(i)];
            i -= int32_t(run->size());
        }
    throw std::out_of_range("value line index out of range");
}

void TTplDef::AddValue(uint8_t kind, std::string_view body, std::string_view question)
{
    if (runs_.empty() || runs_.back().use_count() > 1) runs_.push_back(std::make_shared<std::vector<TTplVal>>());
    runs_.back()->push_back(MakeValueLine(kind, body, question));
    ++count_;
}

void TTplDef::CopyValues(const TTplDef *def)
{
    if (!def || def == this) return;
    runs_.insert(runs_.end(), def->runs_.begin(), def->runs_.end());
    count_ += def->count_;
}

void TTplDef::Clear()
{
    runs_.clear();
    count_ = 0;
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

int32_t TTplEnt::ValueCount() const
{
    int64_t sum = 0;
    AnyValue([&](const TTplVal &v) {
        sum += v.Count;
        return false;
    });
    return int32_t(std::min<int64_t>(sum, INT32_MAX));
}

void TTplEnt::GetValueInfo(int32_t index, TTplValueInfo &info) const
{
    info = TTplValueInfo {};
    if (index < 0) return;
    AnyValue([&](const TTplVal &v) {
        if (index >= v.Count) {
            index -= v.Count;
            return false;
        }
        std::string name;
        v.GetItem(index, name, info.Code);
        info.Name = name;
        info.Question = v.Question;
        return true;
    });
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
