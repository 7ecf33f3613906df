#pragma once
// Template file names and the user's language letter.

#include <string>

// With a Language setting of "A".."Z", the first "_" of the name becomes that letter.
std::string LocalizeFileName(const std::string &name);
// Called on every template file name before use; leaves it as it is.
void FileNameHook(std::string &name);
// "Template " + localized name + " not found!"
void ShowTemplateNotFound(const std::string &name);
