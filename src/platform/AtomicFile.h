#pragma once
// Replacing a file's whole contents so that readers see either the old file or the new one, never a part.

#include <string>
#include <string_view>

// Writes `bytes` to a temporary file beside `path`, then renames it over `path`. False when anything failed; the
// temporary file is removed then and `path` is left as it was. An existing file keeps its permission bits.
bool WriteFileAtomically(const std::string &path, std::string_view bytes);
