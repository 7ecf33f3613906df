#pragma once
// Whole-file reads, and replacing a file's whole contents so that readers see either the old file or the new one.

#include <optional>
#include <string>
#include <string_view>

// The file's bytes; nothing when it cannot be opened or read.
std::optional<std::string> ReadFileContents(const std::string &path);

// Writes `bytes` to a temporary file beside `path`, then renames it over `path`. False when anything failed; the
// temporary file is removed then and `path` is left as it was. An existing file keeps its permission bits.
bool WriteFileAtomically(const std::string &path, std::string_view bytes);
