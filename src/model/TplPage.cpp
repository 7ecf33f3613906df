#include "TplPage.h"

#include "TplGrammar.h"
#include "platform/Text.h"

#include <algorithm>

TTplEnt *TTplPag::FindEntry(std::string_view name) const
{
    const auto it = byName_.find(UpperCase(name));
    return it == byName_.end() ? nullptr : it->second;
}

TTplEnt &TTplPag::AddEntry(std::string_view body, uint8_t kind, std::string_view question, int32_t helpContext)
{
    const TplEntryLine line = ParseEntryLine(body);
    auto entry = std::make_unique<TTplEnt>(line.Name);
    entry->Kind = kind;
    entry->IsOverflow = line.IsOverflow;
    entry->ByteOrder = line.ByteOrder;
    entry->ArrayIndex = line.ArrayIndex;
    entry->Code = line.Code;
    entry->ValueText = line.ValueText;
    entry->Value = line.Value;
    entry->HelpContext = helpContext;
    entry->Question = question;
    if (line.Condition) entry->Cond = std::make_unique<TTplCond>(*line.Condition, *this);
    entry->Index = Count();
    entry->Owner = this;
    byName_[UpperCase(entry->Name.str())] = entry.get();
    items_.push_back(std::move(entry));
    return *items_.back();
}

void TTplPag::UpdateVisible()
{
    visible_.clear();
    for (const auto &e : items_)
        if (e->IsVisible()) visible_.push_back(e.get());

    int32_t counter = 0;
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        if ((*it)->Kind == trHdr) {
            (*it)->GroupSize = counter;
            counter = 0;
        } else {
            ++counter;
        }
    }

    // Walking the shown entries backwards: a header with entries of which none is shown goes.
    std::vector<TTplEnt *> kept;
    counter = 0;
    for (auto it = visible_.rbegin(); it != visible_.rend(); ++it) {
        TTplEnt *e = *it;
        if (e->Kind == trHdr) {
            if (counter > 0 || e->GroupSize == 0) kept.push_back(e);
            counter = 0;
        } else {
            kept.push_back(e);
            ++counter;
        }
    }
    visible_.assign(kept.rbegin(), kept.rend());
}

void TTplPag::Clear()
{
    items_.clear();
    visible_.clear();
    byName_.clear();
    Name = "";
}
