#pragma once
// Add-ons: the programs and libraries that [Special] lists, started with the reader's port released.

#include <string>

// Expands the parameters of an add-on: comma-separated tokens lose their outer blanks; a token beginning with
// "$" is cut to four upper-case characters, and $COM, $CFG, $TPL, $HLP and $DEV become the port settings, the
// configuration file saved last, the template file, the help file and the reader's model name.
std::string ExpandParams(const std::string &params);
