// The configuration dump's byte loop: records of a bounded length, and a reader that never ends its dump is cut
// off after what an image can hold.

#include "FuzzTarget.h"

#include "link/HostReplies.h"

FUZZ_TARGET(dump_reply)
{
    std::vector<std::string> list;
    TDumpCollector dump(list);
    std::size_t taken = 0;
    bool done = false;
    while (!done && dump.WantsMore()) {
        // The input repeats, so that a short input can stand for a reader that streams without end.
        done = dump.Take(data.empty() ? '\x1B' : data[taken % data.size()]);
        ++taken;
    }
    FUZZ_CHECK(taken <= kMaxDumpBytes + 1);
    FUZZ_CHECK(list.size() == dump.Count() && list.size() <= kMaxDumpRecords + 1);
    for (const std::string &record : list) FUZZ_CHECK(record.size() >= 4 && record.size() <= kMaxRecordLength);
}
