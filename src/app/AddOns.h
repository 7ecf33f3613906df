#pragma once
// Add-ons: the programs and libraries that [Special] lists, started with the reader's port released.

#include <string>

// A [Special] value: the add-on's file, then after a blank its parameters. A file whose path holds blanks is
// written in double quotes; the parameters then follow the closing quote.
struct AddOnCommand {
    std::string File;
    std::string Params;
};
AddOnCommand SplitAddOnValue(const std::string &value);

// Expands the parameters of an add-on: comma-separated tokens lose their outer blanks; a token beginning with
// "$" is cut to four upper-case characters, and $COM, $CFG, $TPL, $HLP and $DEV become the port settings, the
// configuration file saved last, the template file, the help file and the reader's model name.
std::string ExpandParams(const std::string &params);

// What of a model name that the reader reported may reach an add-on: its ASCII letters, digits and "-", "_", ".",
// "+" up to the first other character, without leading "-". So a reader cannot add parameters (","), regroup a
// program's arguments (quotes, blanks), name a path or pass an option.
std::string AddOnModelName(const std::string &reported);
