#pragma once
// The text forms of the trace and of the dispatch log, as their dump files hold them (lines end with CR LF).

#include "SerTraceLog.h"

#include <string>

// The entries in runs of one kind, each run under a "Receive: " or "Transmit: " line. Bytes from the blank
// ("!" in hex mode, so that a blank shows) to "~" are written as they are, others as "[hh]" or "[ddd]";
// lines hold at most 78 characters.
std::string TraceDumpText(const std::vector<TSerTraceRing::Entry> &entries, bool hex);

// Heading lines (library version, compiler, operating system, column titles), then one line per record,
// oldest first; the records are taken out of the ring.
std::string LogDumpText(TSerLogRing &log, bool hex);

// Name and version of the compiler that built the library ("GCC 12.2.0").
std::string SerCompilerName();
// Name and release of the running operating system ("Linux 6.1.0-18-amd64").
std::string SerOperatingSystemName();
