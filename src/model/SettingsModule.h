#pragma once
// Start and end of the settings module: runs before any window exists and after the message loop has ended.

#include <string>

extern std::string ExeDir;          // program folder, no trailing separator
extern std::string IniFileName;     // "CORVANE.INI" for a program file named corvane
extern std::string BmpFileName;     // "CORVANE.BMP"
extern std::string LastConfigFile;  // configuration file saved last
extern bool ConnectAtStart;         // the command line asked to connect at once

// The INI or bitmap name of a program file: its name cut to 20, up to the first ".", upper-cased, plus the
// extension, the whole cut to 20.
std::string SettingsFileName(const std::string &programPath, const std::string &extension);

// Folder, file names, setting lists, host command defaults, then the INI.
void InitSettings(const std::string &programPath);
// The first program argument: "ignored,HEX,1" -> enter-host command and connect-at-start.
void ParseCommandLine(const std::string &argument);

// InitSettings, ParseCommandLine and LoadHtmlHelp under one guard: a failure skips the later steps and shows
// "Error in InitSetup".
void StartSettingsModule(const std::string &programPath, const std::string &firstArgument);
// Releases the help viewer.
void EndSettingsModule();
