#include "ReaderSimTypes.h"

namespace testsupport {

std::string LineSettings::toString() const
{
    return std::to_string(baud) + ' ' + parity + std::to_string(dataBits) + std::to_string(stopBits);
}

const char *toString(SimKind kind)
{
    switch (kind) {
    case SimKind::Enter: return "Enter";
    case SimKind::Exit: return "Exit";
    case SimKind::ProgramMode: return "ProgramMode";
    case SimKind::Dump: return "Dump";
    case SimKind::Identify: return "Identify";
    case SimKind::RestoreDefaults: return "RestoreDefaults";
    case SimKind::SaveEeprom: return "SaveEeprom";
    case SimKind::SaveRam: return "SaveRam";
    case SimKind::Custom: return "Custom";
    case SimKind::Record: return "Record";
    case SimKind::RecordOutsideProgram: return "RecordOutsideProgram";
    case SimKind::Unparsed: return "Unparsed";
    case SimKind::Noise: return "Noise";
    }
    return "?";
}

const char *toString(ReaderState state)
{
    switch (state) {
    case ReaderState::Normal: return "Normal";
    case ReaderState::Host: return "Host";
    case ReaderState::Program: return "Program";
    }
    return "?";
}

std::string toHex(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

} // namespace testsupport
