#include "TRSProtocol.h"

#include "platform/Paths.h"
#include "platform/Text.h"

#include <array>
#include <stdexcept>
#include <string_view>

TAbortProc AbortHook = nullptr;
bool DownloadAborted = false;

namespace {

const std::array<std::string_view, 6> ErrorTexts {
    "1.Unable to open file", "2.Unable to open com port", "3.Unable to connect",
    "4.Download failed",     "5.Aborted by user",          "6.Download already running",
};

} // namespace

std::string ResultLine(int32_t code, const std::string &driver)
{
    if (code == DownloadResult::Ok)
        return "  OK: Download completed";
    if (code >= 1 && code <= int32_t(ErrorTexts.size()))
        return "  ERR: " + std::string(ErrorTexts[std::size_t(code - 1)]);
    if (code == DownloadResult::CannotLoadDriver)
        return "  ERR: Unable to load " + driver;
    if (code == DownloadResult::CannotCallDriver)
        return "  ERR: Unable to call " + driver;
    return "  ERR: " + std::to_string(code) + ".Unknown error";
}

std::string ReadImage(std::istream &file, const std::string &name, const TBlockPlan &plan)
{
    std::string image(std::size_t(plan.count) * BlockSize, '\0');
    std::streamoff size = 0;
    file.exceptions(std::ios::badbit);
    try {
        file.seekg(0, std::ios::end);
        size = file.tellg();
        file.seekg(std::streamoff(plan.first) * BlockSize);
        file.read(image.data(), std::streamsize(image.size()));
    } catch (const std::ios_base::failure &e) {
        throw std::runtime_error(e.code().message());
    }
    if (file.gcount() != std::streamsize(image.size())) {
        const int64_t needed = int64_t(plan.first + plan.count) * BlockSize;
        throw std::runtime_error("Read beyond end of file: " + name + " has " + std::to_string(size) + " bytes, " +
                                 plan.protocol + " needs " + std::to_string(needed));
    }
    return image;
}

std::string SpeedCommand(int32_t baud)
{
    switch (baud) {
    case 19200: return "BN";
    case 38400: return "BH";
    case 57600: return "BX";
    case 115200: return "BY";
    default: return {};
    }
}

std::string DownloadingText(const std::string &fileName) { return "Downloading " + ExtractFileName(fileName) + "..."; }

bool IsMtrDriver(const std::string &driver) { return SameText(driver, "QUENAX.DLL"); }

void AbortBuiltIn() { DownloadAborted = true; }
