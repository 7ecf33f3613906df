#pragma once
// The configuration file (.cfg): the file name of the template it was made with, blank-padded to 12 bytes, then one
// 4-byte record per parameter (3 code bytes and the value byte). No count, no checksum.

#include "ConfigImage.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

constexpr std::size_t kCfgNameSize = 12;
constexpr std::size_t kCfgRecordSize = 4;

class CfgFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CfgFileContents {
    std::string TemplateName;   // trimmed and upper-cased
    ConfigRecords Records;
};

// Reads a whole configuration file. Raises CfgFileError when it cannot be read or when it is shorter than the name
// field or its records are not all of 4 bytes.
CfgFileContents ReadCfgFile(const std::string &path);

// Whether the name field read from a file names the template file `fileName`: the same name without regard to
// case, or, when the field is full, the start of a longer name that writing cut to 12 bytes.
bool CfgNamesTemplate(std::string_view storedName, std::string_view fileName);

// Replaces the file with the name field (the name blank-padded or cut to 12 bytes) and the records as they are;
// false when it could not be written, leaving any old file as it was.
bool WriteCfgFile(const std::string &path, std::string_view templateName, const ConfigRecords &records);
