// Replies awaited from the reader's loader: the port's string wait matching the received bytes against the
// awaited answer. The first byte gives the answer's length; it and the rest of the input follow.

#include "FuzzTarget.h"

#include "platform/Text.h"
#include "serial/SerStringMatch.h"

#include <algorithm>

FUZZ_TARGET(loader_reply)
{
    if (data.size() < 2) return;
    const std::size_t length = 1 + std::size_t(uint8_t(data[0])) % std::min<std::size_t>(data.size() - 1, 255);
    const std::string wanted = UpperCase(data.substr(1, length));
    const std::string_view received = data.substr(1 + length);

    TSerStringMatch match(wanted, true);
    std::string seen;
    for (char c : received) {
        seen += c;
        // A match is only ever reported on the awaited answer's last byte.
        if (match.Take(c))
            FUZZ_CHECK(seen.size() >= wanted.size() &&
                       UpperCase(std::string_view(seen).substr(seen.size() - wanted.size())) == wanted);
    }
}
