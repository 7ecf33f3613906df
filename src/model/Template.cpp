#include "Template.h"

#include "Settings.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/UiServices.h"

#include <algorithm>

TTemplate *Template = nullptr;

namespace {

// The first value line of the entry that covers the value: its text and code.
bool CoveringItem(const TTplEnt &entry, uint8_t value, std::string &name, uint8_t &code)
{
    bool found = false;
    entry.AnyValue([&](const TTplVal &v) {
        if (!v.Covers(value)) return false;
        found = v.GetItem(value - v.First, name, code);
        return true;
    });
    return found;
}

} // namespace

void TTemplate::Clear()
{
    defs_.clear();
    pages_.clear();
}

const TTplDef *TTemplate::FindDef(std::string_view name) const
{
    for (auto it = defs_.rbegin(); it != defs_.rend(); ++it)
        if ((*it)->Name == name) return it->get();
    return nullptr;
}

TTplDef &TTemplate::AddDef(std::string_view name)
{
    defs_.push_back(std::make_unique<TTplDef>(name));
    return *defs_.back();
}

TTplPag &TTemplate::AddPage(std::string_view name, int32_t helpContext)
{
    pages_.push_back(std::make_unique<TTplPag>(name, helpContext));
    return *pages_.back();
}

void TTemplate::UpdateVisible()
{
    for (auto &page : pages_) page->UpdateVisible();
}

void TTemplate::SetEntryValue(TTplEnt &entry, uint8_t value)
{
    std::string name;
    uint8_t code = 0;
    if (CoveringItem(entry, value, name, code)) {
        entry.Value = code;
        entry.ValueText = name;
    } else {
        entry.ValueText = "Value not found";
    }
}

std::string TTemplate::ValueText(const TTplEnt &entry, uint8_t value) const
{
    std::string name;
    uint8_t code = 0;
    return CoveringItem(entry, value, name, code) ? name : std::string();
}

void TTemplate::MarkAllUnset()
{
    for (auto &page : pages_)
        for (int32_t i = 0; i < page->Count(); ++i) page->Entries(i).Unset = true;
}

void TTemplate::ApplyConfiguration(const ConfigRecords &records)
{
    MarkAllUnset();
    Cfg.Load(records);
    for (auto &page : pages_) {
        for (int32_t i = 0; i < page->Count(); ++i) {
            TTplEnt &entry = page->Entries(i);
            if (entry.Kind == trHdr) continue;
            uint8_t value = 0;
            std::string name;
            uint8_t code = 0;
            if (!Cfg.Find(entry.Code, value)) {
                entry.ValueText = "*Entry not found";
            } else if (CoveringItem(entry, value, name, code)) {
                entry.ValueText = name;
                entry.Value = code;
                entry.Unset = false;
            } else {
                entry.ValueText = "Value not found";
            }
        }
    }
}

ConfigRecords TTemplate::GetConfiguration() const
{
    ConfigRecords records;
    for (const auto &page : pages_) {
        for (int32_t i = 0; i < page->Count(); ++i) {
            const TTplEnt &entry = page->Entries(i);
            if (entry.Kind == trEnt && !entry.Unset) records.push_back(entry.Code.str() + char(entry.Value));
        }
    }
    return records;
}

void TTemplate::ShowInfo() const
{
    std::string info = Info;
    std::replace(info.begin(), info.end(), '\\', '\r');
    Ui().ShowInformation(Cut("Device: " + Settings.DeviceTitle.str() + "\r" + "Template: " + ExtractFileName(FileName) +
                                 "\r" + info,
                             255));
}
