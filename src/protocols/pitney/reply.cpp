// SPDX-License-Identifier: GPL-3.0-or-later
// The replies a Pitney meter builds.
#include "core/digits.h"
#include "protocols/pitney/pitney.h"

namespace meter {

namespace {

// The bytes between STX and ETX never hold STX, ETX or the stuffing byte itself.
void stuff(Bytes& out, std::uint8_t b) {
    if (b == ascii::stx || b == ascii::etx || b == pitneyescape) {
        out.push_back(pitneyescape);
        out.push_back(static_cast<std::uint8_t>(b + pitneyescapeoffset));
    } else {
        out.push_back(b);
    }
}

bool postage(std::uint8_t command) {
    return command == 0x54 || command == 0x52 || command == 0x53;
}

} // namespace

Bytes buildpitneyreply(std::uint8_t toggle, std::uint8_t command, std::string_view field) {
    std::uint8_t format = 0xAF; // ten digits, whole units
    if (postage(command)) {
        const bool wide = field.size() > 10 && field.find_first_not_of('0') < field.size() - 10;
        format = wide ? 0xC2 : 0xA2;
    }
    return buildpitneyreply(toggle, command, format,
                            lastdigits(field, static_cast<std::size_t>(format >> 4)));
}

Bytes buildpitneyreply(std::uint8_t toggle, std::uint8_t command, std::uint8_t format,
                       std::string_view digits) {
    Bytes body{toggle, static_cast<std::uint8_t>(command + pitneyanswer), format};
    const Bytes value = packbcd(digits);
    body.insert(body.end(), value.begin(), value.end());
    const auto check = fletcherbytes(body);
    body.insert(body.end(), check.begin(), check.end());

    Bytes out{ascii::stx};
    for (std::uint8_t b : body)
        stuff(out, b);
    out.push_back(ascii::etx);
    return out;
}

} // namespace meter
