#pragma once
// Add-ons: the programs and libraries that [Special] lists, started with the reader's port released.

#include <string>

// Expands the parameters of an add-on: comma-separated tokens lose their outer blanks; a token beginning with
// "$" is cut to four upper-case characters, and $COM, $CFG, $TPL, $HLP and $DEV become the port settings, the
// configuration file saved last, the template file, the help file and the reader's model name.
std::string ExpandParams(const std::string &params);

// What of a model name that the reader reported may reach an add-on: its ASCII letters, digits and "-", "_", ".",
// "+" up to the first other character, without leading "-". So a reader cannot add parameters (","), regroup a
// program's arguments (quotes, blanks), name a path or pass an option.
std::string AddOnModelName(const std::string &reported);
