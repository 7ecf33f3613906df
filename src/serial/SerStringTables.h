#pragma once
// String tables: raw "STR0" tables kept as named data blocks of the module that holds the library, and the
// reader that looks texts up by numeric id.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The named raw data blocks of one module (SerLibraryModule() holds this library's own tables).
struct TSerResourceModule {
    struct Resource {
        std::string name;
        const unsigned char *data;
        size_t size;
    };
    std::vector<Resource> resources;

    const Resource *Find(std::string_view name) const;
};

const TSerResourceModule &SerLibraryModule();

class EStringResourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TSerStringResource {
public:
    TSerStringResource(const TSerResourceModule &module, const std::string &resourceName);

    // Releases any current table, then finds and checks the named one; raises EStringResourceError.
    void OpenResource(const TSerResourceModule &module, const std::string &resourceName);
    // The text of an id; empty when the id is missing.
    std::string GetString(int32_t id) const;

private:
    struct Entry {
        int32_t id;
        uint32_t offset;
        uint32_t length;
    };
    Entry EntryAt(uint32_t index) const;

    bool reportMissing_ = false;
    const unsigned char *data_ = nullptr;
    size_t size_ = 0;
    uint32_t count_ = 0;
};

// The two tables of the library, opened on first use.
const TSerStringResource &SerResMgrStrings();
const TSerStringResource &SerErrorStrings();
