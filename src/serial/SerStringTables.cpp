#include "SerStringTables.h"

#include <cstring>

namespace {

uint32_t Read32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr const char *ResMgrName = "SER_RESMGR_STRINGS";
bool openingResMgr = false;   // set while the message table itself is being opened

// A text of the message table; while that table itself fails to open, its name stands for every text.
std::string ResMgrText(int32_t textId)
{
    return openingResMgr ? std::string(ResMgrName) : SerResMgrStrings().GetString(textId);
}

std::string Format(int32_t textId, const std::string &argument)
{
    std::string text = ResMgrText(textId);
    const size_t at = text.find('%');
    if (at != std::string::npos && at + 1 < text.size())
        text.replace(at, 2, argument);
    return text;
}

[[noreturn]] void RaiseInvalid()
{
    throw EStringResourceError(ResMgrText(5));
}

} // namespace

const TSerResourceModule::Resource *TSerResourceModule::Find(std::string_view name) const
{
    for (const Resource &r : resources)
        if (r.name == name)
            return &r;
    return nullptr;
}

TSerStringResource::TSerStringResource(const TSerResourceModule &module, const std::string &resourceName)
{
    if (!resourceName.empty())
        OpenResource(module, resourceName);
}

void TSerStringResource::OpenResource(const TSerResourceModule &module, const std::string &resourceName)
{
    data_ = nullptr;
    size_ = 0;
    count_ = 0;
    const std::string name = resourceName.substr(0, 255);
    const TSerResourceModule::Resource *resource = module.Find(name);
    if (!resource)
        throw EStringResourceError(Format(3, name));
    if (!resource->data)
        throw EStringResourceError(ResMgrText(2));
    const unsigned char *data = resource->data;
    const size_t size = resource->size;
    if (size < 8 || std::memcmp(data, "STR0", 4) != 0)
        RaiseInvalid();
    // Every entry and every text must lie inside the table, with ids strictly ascending.
    const uint64_t count = Read32(data + 4);
    if (8 + 12 * count > size)
        RaiseInvalid();
    for (uint64_t i = 0; i < count; ++i) {
        const unsigned char *entry = data + 8 + 12 * i;
        const uint64_t offset = Read32(entry + 4);
        const uint64_t length = Read32(entry + 8);
        if (offset < 8 + 12 * count || offset + 2 * length > size)
            RaiseInvalid();
        if (i > 0 && int32_t(Read32(entry)) <= int32_t(Read32(entry - 12)))
            RaiseInvalid();
    }
    data_ = data;
    size_ = size;
    count_ = uint32_t(count);
}

TSerStringResource::Entry TSerStringResource::EntryAt(uint32_t index) const
{
    const unsigned char *entry = data_ + 8 + 12 * size_t(index);
    return {int32_t(Read32(entry)), Read32(entry + 4), Read32(entry + 8)};
}

std::string TSerStringResource::GetString(int32_t id) const
{
    if (!data_)
        throw EStringResourceError(ResMgrText(2));
    int64_t low = 0;
    int64_t high = int64_t(count_) - 1;
    while (low <= high) {
        const int64_t middle = (low + high) / 2;
        const Entry entry = EntryAt(uint32_t(middle));
        if (entry.id == id) {
            // Texts are ASCII; other UTF-16 units become '?' as an ANSI conversion would.
            std::string text;
            text.reserve(entry.length);
            for (uint32_t i = 0; i < entry.length; ++i) {
                const unsigned char *unit = data_ + entry.offset + 2 * size_t(i);
                const uint16_t c = uint16_t(unit[0] | unit[1] << 8);
                text += c < 0x100 ? char(c) : '?';
            }
            return text;
        }
        if (entry.id < id)
            low = middle + 1;
        else
            high = middle - 1;
    }
    if (reportMissing_)
        throw EStringResourceError(Format(1, std::to_string(id)));
    return {};
}

const TSerStringResource &SerResMgrStrings()
{
    static const TSerStringResource table = [] {
        openingResMgr = true;
        struct Reset {
            ~Reset() { openingResMgr = false; }
        } reset;
        return TSerStringResource(SerLibraryModule(), ResMgrName);
    }();
    return table;
}

const TSerStringResource &SerErrorStrings()
{
    static const TSerStringResource table(SerLibraryModule(), "SER_ERROR_STRINGS_ENGLISH");
    return table;
}
