#pragma once
// The configuration dump DUMPCFG.TXT: a readable listing of configuration records for debugging.

#include "ConfigImage.h"

#include <functional>
#include <string>
#include <string_view>

// The date and time text of the dump's first line. The default is the C library's locale date and time; the
// program may install the user's locale form, tests a fixed text. An empty function restores the default.
void SetDumpDateText(std::function<std::string()> source);

// Writes DUMPCFG.TXT into the current directory, replacing it: "Configuration Dump - " + title + " - " + date
// text, an empty line, then one line per record: each byte as text (" <ESC>", " A", " <$E9>"), dots up to column 24,
// then the bytes in hex. Raises std::runtime_error naming the folder and the reason when the file cannot be
// written.
void DumpConfiguration(const ConfigRecords &records, std::string_view title);
