// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decimal digit texts as meters keep them: fixed widths with zeros in front, and packed BCD (two
// digits a byte, high nibble first).
#include "core/bytes.h"
#include "core/reason.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace meter {

// The digits a reply decodes to, or why it decodes to none.
struct Decoded {
    std::string digits;
    Reason reason; // none: decoded
    bool ok() const { return reason.empty(); }
};

// `digits` with zeros in front up to `width` characters; a text already that long or longer is
// returned as it is.
std::string zeropad(std::string_view digits, std::size_t width);

// `digits` as exactly `width` characters: zeros in front of a short text, the last `width`
// characters of a long one.
std::string lastdigits(std::string_view digits, std::size_t width);

// Packed BCD of a digit text, most significant byte first; an odd count gets a leading zero and
// anything but a digit packs as 0.
Bytes packbcd(std::string_view digits);

// The two digits of a packed-BCD byte (0x12 gives "12"); nullopt for a byte with a nibble above
// 9.
std::optional<std::string> unpackbcd(std::uint8_t byte);

} // namespace meter
