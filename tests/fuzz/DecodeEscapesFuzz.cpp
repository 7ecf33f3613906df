// The escape decoder of the download settings' texts ("\" and three decimal digits).

#include "FuzzTarget.h"

#include "download/TarselSettings.h"

FUZZ_TARGET(decode_escapes)
{
    const std::string decoded = TTRSSetup::DecodeEscapes(data);
    FUZZ_CHECK(decoded.size() <= 255);
    FUZZ_CHECK(decoded.size() <= data.size());
    // Without a backslash the text passes unchanged (cut to its width).
    if (data.find('\\') == std::string_view::npos) FUZZ_CHECK(decoded == data.substr(0, decoded.size()));
}
