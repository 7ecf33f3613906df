#pragma once
// The reader of the examples folder: its INI, device template and configuration file, and the configuration
// that the simulated reader holds for that template.

#include "ReaderSim.h"

#include <string>

namespace testsupport {

// The path of a file in the examples folder.
std::string ExampleFile(const std::string &name);

// Gives the simulator the example reader's configuration (factory, EEPROM and RAM) and custom command.
void MakeExampleReader(ReaderSim &sim);

} // namespace testsupport
