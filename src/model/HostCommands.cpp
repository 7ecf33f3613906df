#include "HostCommands.h"

#include "Settings.h"

std::array<ShortStr<80>, hcCount> HostCommands;

void SetDefaultHostCommands()
{
    HostCommands = {"\x1B[C", "\x1B[A", "\x1B[B", "\x1B[D", "\x1B[E", "\x1BJA ", "\x1BIA ", "\x1BIA!",
                    "\x1BH\r\n", "\x1BX\r\n", "\x1BP\r\n", "\x1BK\r\n", "\x1BL\r\n"};
}

bool IsRemoted() { return HostCommands[hcEnterHost].str() != Settings.MasterHostMode.str(); }
