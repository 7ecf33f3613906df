#pragma once
// A configuration page of a template: its entries in file order and the ones currently shown.

#include "TplEntry.h"
#include "platform/ShortStr.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TTplPag {
public:
    explicit TTplPag(std::string_view name = {}, int32_t helpContext = -1) : Name(name), HelpContext(helpContext) {}
    TTplPag(const TTplPag &) = delete;
    TTplPag &operator=(const TTplPag &) = delete;

    ShortStr<30> Name;
    int32_t HelpContext = -1;

    int32_t Count() const { return int32_t(items_.size()); }
    TTplEnt &Entries(int32_t i) { return *items_.at(std::size_t(i)); }
    const TTplEnt &Entries(int32_t i) const { return *items_.at(std::size_t(i)); }
    int32_t VisibleCount() const { return int32_t(visible_.size()); }
    TTplEnt &Visible(int32_t i) { return *visible_.at(std::size_t(i)); }
    const TTplEnt &Visible(int32_t i) const { return *visible_.at(std::size_t(i)); }

    // The entry whose name equals `name` without regard to case (the last such); nullptr when none.
    TTplEnt *FindEntry(std::string_view name) const;
    // Parses a header (kind trHdr) or parameter (trEnt) line body and appends the entry. Its condition is built
    // before the entry joins the page, so it can only name entries above it.
    TTplEnt &AddEntry(std::string_view body, uint8_t kind, std::string_view question, int32_t helpContext);
    // Recomputes the shown entries and the group sizes; a header whose entries are all hidden is hidden too.
    void UpdateVisible();
    void Clear();

private:
    std::vector<std::unique_ptr<TTplEnt>> items_;
    std::vector<TTplEnt *> visible_;
    std::unordered_map<std::string, TTplEnt *> byName_;   // upper-cased name -> the last entry of that name
};
