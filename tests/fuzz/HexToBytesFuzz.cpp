// Hexadecimal byte text as the INI keys, custom buttons, macros and the command line hold it.

#include "FuzzTarget.h"

#include "common/ByteDisplay.h"

FUZZ_TARGET(hex_to_bytes)
{
    std::string bytes;
    try {
        bytes = HexToBytes(data);
    } catch (const HexConvertError &) {
        return;
    }
    FUZZ_CHECK(bytes.size() <= 255);
    FUZZ_CHECK(bytes.size() <= data.size() / 2);
    FUZZ_CHECK(HexToBytes(BytesToHex(bytes)) == bytes);
}
