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

int nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
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

std::string hexpairs(std::string_view bytes) {
    std::string out;
    out.reserve(2 * bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        out += digits[byte >> 4];
        out += digits[byte & 0x0F];
    }
    return out;
}

std::optional<std::string> fromhexpairs(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = nibble(hex[i]);
        const int lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi << 4 | lo);
    }
    return out;
}

} // namespace meter
