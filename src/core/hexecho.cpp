// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/hexecho.h"

namespace meter {

namespace {
constexpr char digits[] = "0123456789ABCDEF";

void append(std::string& out, std::uint8_t byte) {
    out += ' ';
    if (byte >= 0x10) out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}
} // namespace

std::string hexecho(ByteView bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    for (std::uint8_t b : bytes)
        append(out, b);
    return out;
}

std::string hexecho(std::uint8_t byte) {
    std::string out;
    append(out, byte);
    return out;
}

std::string hexpair(std::uint8_t byte) {
    return {digits[byte >> 4], digits[byte & 0x0F]};
}

} // namespace meter
