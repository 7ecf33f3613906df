#include "SerTraceDump.h"

#include "SerMisc.h"
#include "SerStringTables.h"

#include "platform/Text.h"

#include <sys/utsname.h>

#include <array>
#include <cstdio>

namespace {

constexpr const char *LineEnd = "\r\n";
constexpr uint32_t LastColumn = 78;

// Where bytes continue after a line break: the trace starts its lines at the left margin, the log under
// its data column.
struct ByteLayout {
    uint32_t base;        // the column a continued line starts from
    std::string indent;   // what a continued line begins with
};

const ByteLayout TraceLayout {0, ""};
const ByteLayout LogLayout {45, std::string(44, ' ')};

std::string ByteText(uint8_t c, bool hex)
{
    const uint8_t first = hex ? '!' : ' ';
    if (c >= first && c <= '~')
        return std::string(1, char(c));
    char text[8];
    std::snprintf(text, sizeof text, hex ? "[%02X]" : "[%u]", unsigned(c));
    return text;
}

// Appends one byte; the column counts what the current line holds.
void AppendByte(std::string &out, uint32_t &column, uint8_t c, bool hex, const ByteLayout &layout)
{
    const std::string text = ByteText(c, hex);
    column += uint32_t(text.size());
    if (column > LastColumn) {
        out += LineEnd + layout.indent;
        column = layout.base + uint32_t(text.size());
    }
    out += text;
}

std::string KindHeader(char kind)
{
    switch (kind) {
    case TraceKind::Received: return "Receive: ";
    case TraceKind::Transmitted: return "Transmit: ";
    default: return std::string("Special-") + kind + ": ";
    }
}

constexpr std::array<const char *, 6> StatusKindTexts = {"(Not active)",        "(Modem status)",
                                                         "(Line status)",       "(Output buffer free)",
                                                         "(Output buffer used)", "(Output sent)"};

constexpr int32_t TypeTextId = 15001;
constexpr int32_t SubTypeTextId = 15100;
constexpr int32_t ColumnTitlesId = 15501;
constexpr int32_t ColumnRulesId = 15502;
constexpr int32_t ModemBitNamesId = 15601;

std::string RecordPrefix(const TSerLogRecord &record)
{
    // Seconds and milliseconds.
    char time[16];
    std::snprintf(time, sizeof time, "%07u", unsigned(record.Time));
    std::string seconds = time;
    seconds.insert(seconds.size() - 3, ".");
    const std::string type = SerErrorStrings().GetString(TypeTextId + record.Type);
    const std::string subType = record.SubType ? SerErrorStrings().GetString(SubTypeTextId + record.SubType) : "";
    char prefix[96];
    std::snprintf(prefix, sizeof prefix, "%8s  %-8s  %-12s  %08x  ", seconds.c_str(), type.c_str(),
                  subType.c_str(), unsigned(record.Value));
    return prefix;
}

std::string ModemBitNames(uint32_t status)
{
    std::string names;
    for (int bit = 0; bit < 8; ++bit)
        if (status & (1u << bit))
            names += SerErrorStrings().GetString(ModemBitNamesId + bit);
    return " (" + Trim(names) + ")";
}

std::string RecordLine(const TSerLogRecord &record, bool hex)
{
    std::string line = RecordPrefix(record);
    if (record.Data.empty())
        return line + LineEnd;
    const bool statusTrigger = (record.Type == LogType::TrigAllc || record.Type == LogType::TrigDisp)
                               && record.SubType == LogSub::StatusTrigger;
    if (statusTrigger && record.Data[0] < StatusKindTexts.size()) {
        line += StatusKindTexts[record.Data[0]];
    } else {
        uint32_t column = LogLayout.base;
        for (uint8_t c : record.Data)
            AppendByte(line, column, c, hex, LogLayout);
    }
    if (record.SubType == LogSub::ModemStatus)
        line += ModemBitNames(record.Value);
    return line + LineEnd;
}

} // namespace

std::string TraceDumpText(const std::vector<TSerTraceRing::Entry> &entries, bool hex)
{
    std::string out;
    uint32_t column = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i == 0 || entries[i].Kind != entries[i - 1].Kind) {
            if (i > 0)
                out += std::string(LineEnd) + LineEnd;
            out += KindHeader(entries[i].Kind) + LineEnd;
            column = 0;
        }
        AppendByte(out, column, entries[i].Byte, hex, TraceLayout);
    }
    if (!entries.empty())
        out += LineEnd;
    return out;
}

std::string LogDumpText(TSerLogRing &log, bool hex)
{
    std::string out = std::string("SERIAL ") + SerLibraryVersion + LineEnd;
    out += "Compiler : " + SerCompilerName() + LineEnd;
    out += "Operating System : " + Cut(SerOperatingSystemName(), 80) + LineEnd;
    out += SerErrorStrings().GetString(ColumnTitlesId) + LineEnd;
    out += SerErrorStrings().GetString(ColumnRulesId) + LineEnd;
    TSerLogRecord record;
    while (log.Take(record))
        out += RecordLine(record, hex);
    return out;
}

std::string SerCompilerName()
{
#if defined(__clang__)
    return __VERSION__;   // names the compiler itself ("Clang 15.0.6 ...")
#else
    return "GCC " __VERSION__;
#endif
}

std::string SerOperatingSystemName()
{
    utsname name;
    if (uname(&name) != 0)
        return "Unknown";
    return std::string(name.sysname) + " " + name.release;
}
