#pragma once
// Help requests of the program (contents, keyword search, the help of a template entry). They go to the compiled
// HTML help file that stands beside the template's help file; without that file or without a viewer, help is
// not available.

#include <cstdint>
#include <string>

// The compiled help file for a help file name: its extension replaced by ".CHM", or ".CHM" appended.
std::string CompiledHelpFile(const std::string &helpFile);

// Runs a help command (HELP_CONTEXT, HELP_CONTENTS, ...) on the application's help file.
void ApplicationHelp(int32_t command, int32_t data, const std::string &keyword = {});
