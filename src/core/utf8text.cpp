// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/utf8text.h"

#include <algorithm>

namespace meter {

std::string wellformedutf8(std::string_view in) {
    constexpr std::string_view replacement = "\xEF\xBF\xBD"; // U+FFFD
    if (std::all_of(in.begin(), in.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(in);
    std::string out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        const auto b = static_cast<unsigned char>(in[i]);
        std::size_t length = 0;
        unsigned char lo = 0x80, hi = 0xBF; // the second byte's range
        if (b < 0x80) {
            length = 1;
        } else if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F; // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        }
        bool ok = length != 0 && i + length <= in.size();
        for (std::size_t k = 1; ok && k < length; ++k) {
            const auto c = static_cast<unsigned char>(in[i + k]);
            ok = k == 1 ? (c >= lo && c <= hi) : (c >= 0x80 && c <= 0xBF);
        }
        if (ok) {
            out.append(in.substr(i, length));
            i += length;
        } else {
            out.append(replacement);
            ++i;
        }
    }
    return out;
}

std::string latin1toutf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

} // namespace meter
