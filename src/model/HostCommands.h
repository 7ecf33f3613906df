#pragma once
// The reader's host-mode commands and the replies awaited after them.

#include "platform/ShortStr.h"

#include <array>

enum THostCommand {
    hcEnterHost,      // ESC "[C"; also the station address on a multi-drop line
    hcExitHost,       // ESC "[A"
    hcProgramMode,    // ESC "[B"
    hcDump,           // ESC "[D"
    hcIdentify,       // ESC "[E"
    hcDefaults,       // ESC "JA "
    hcSaveEEPROM,     // ESC "IA "
    hcSaveRAM,        // ESC "IA!"
    hcHostReply,      // ESC "H" CR LF
    hcExitReply,      // ESC "X" CR LF
    hcProgramReply,   // ESC "P" CR LF
    hcSaveReply,      // ESC "K" CR LF
    hcDumpEndReply,   // ESC "L" CR LF
    hcCount
};

extern std::array<ShortStr<80>, hcCount> HostCommands;

// Puts the thirteen defaults into HostCommands.
void SetDefaultHostCommands();

// True while the enter-host command differs from the master's own: the reader is reached as a remote station.
bool IsRemoted();
