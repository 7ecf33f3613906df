#pragma once
// Template file names and the user's language letter.

#include <string>

// With a Language setting of "A".."Z", the first "_" of the name becomes that letter.
std::string LocalizeFileName(const std::string &name);
// Called on every template file name before use; leaves it as it is.
void FileNameHook(std::string &name);
// Where the template `name` is looked for in `folder` (a device folder with its trailing separator, or empty):
// the name passed through FileNameHook and localized.
std::string TemplatePath(const std::string &folder, const std::string &name);
// "Template " + localized name + " not found!"
void ShowTemplateNotFound(const std::string &name);
