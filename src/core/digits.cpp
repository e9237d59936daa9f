// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/digits.h"

namespace meter {

std::string zeropad(std::string_view digits, std::size_t width) {
    std::string out;
    if (digits.size() < width) out.assign(width - digits.size(), '0');
    out += digits;
    return out;
}

std::string lastdigits(std::string_view digits, std::size_t width) {
    if (digits.size() >= width) return std::string(digits.substr(digits.size() - width));
    return zeropad(digits, width);
}

Bytes packbcd(std::string_view digits) {
    auto nibble = [](char c) { return c >= '0' && c <= '9' ? c - '0' : 0; };
    Bytes out;
    std::size_t i = 0;
    if (digits.size() % 2) out.push_back(static_cast<std::uint8_t>(nibble(digits[i++])));
    for (; i < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(nibble(digits[i]) << 4 | nibble(digits[i + 1])));
    return out;
}

std::optional<std::string> unpackbcd(std::uint8_t byte) {
    const int high = byte >> 4;
    const int low = byte & 0x0F;
    if (high > 9 || low > 9) return std::nullopt;
    return std::string{static_cast<char>('0' + high), static_cast<char>('0' + low)};
}

} // namespace meter
