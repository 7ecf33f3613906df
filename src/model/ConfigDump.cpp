#include "ConfigDump.h"

#include "common/BsTypes.h"
#include "common/ByteDisplay.h"
#include "platform/FileContents.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <stdexcept>

namespace {

const char *const kDumpFile = "DUMPCFG.TXT";
constexpr std::size_t kColumnMax = 80;
constexpr int kTextColumnWidth = 24;

std::string LocaleDateText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char buf[128];
    return std::strftime(buf, sizeof buf, "%x %X", &local) ? buf : "";
}

std::function<std::string()> dateText;

std::string DumpLine(std::string_view record)
{
    std::string text, hex;
    for (char c : record) {
        const auto b = static_cast<unsigned char>(c);
        const std::string byteHex = BytesToHex(std::string(1, c));
        if (b < 33)
            text += " <" + std::string(ControlCharNames[b]) + ">";
        else if (b < 127)
            text += std::string(" ") + c;
        else if (b == 127)
            text += " <DEL>";
        else
            text += " <$" + byteHex + ">";
        text = Cut(text, kColumnMax);
        hex = Cut(hex + byteHex + " ", kColumnMax);
    }
    return Cut(PadRight(text + " ", '.', kTextColumnWidth) + " " + hex, kColumnMax);
}

} // namespace

void SetDumpDateText(std::function<std::string()> source) { dateText = std::move(source); }

void DumpConfiguration(const ConfigRecords &records, std::string_view title)
{
    std::string out = "Configuration Dump - " + Cut(title, 80) + " - " + (dateText ? dateText() : LocaleDateText()) +
                      "\r\n\r\n";
    for (const std::string &record : records) out += DumpLine(record) + "\r\n";
    if (!WriteFileAtomically(kDumpFile, out)) {
        const int error = errno;
        std::error_code unknown;
        throw std::runtime_error(std::string("Unable to write ") + kDumpFile + " in " +
                                 std::filesystem::current_path(unknown).string() + ": " + std::strerror(error));
    }
}
