// SPDX-License-Identifier: GPL-3.0-or-later
#include "vendor/exchange.h"

#include "core/hexecho.h"

#include <algorithm>

namespace meter::copote {

namespace {
constexpr std::uint8_t stx = 0x02;
constexpr std::uint8_t etx = 0x03;

std::string checkof(ByteView digits) {
    unsigned sum = 0;
    for (std::uint8_t b : digits)
        sum += b;
    return hexpair(static_cast<std::uint8_t>(sum & 0xFF));
}
} // namespace

Bytes request() {
    return {stx, 'C', 'P', 'R', etx};
}

bool isrequest(ByteView bytes) {
    const Bytes r = request();
    return bytes.size() >= r.size() && std::equal(r.begin(), r.end(), bytes.begin());
}

Bytes reply(std::string_view record) {
    Bytes out;
    out.reserve(replylength);
    out.push_back(stx);
    out.insert(out.end(), record.begin(), record.end());
    out.push_back(etx);
    const std::string check = checkof(ByteView(out).subspan(1, record.size()));
    out.insert(out.end(), check.begin(), check.end());
    return out;
}

std::optional<Found> findreply(ByteView buffer) {
    for (std::size_t start = 0; start < buffer.size(); ++start) {
        if (buffer[start] != stx) continue;
        if (buffer.size() - start < replylength) return std::nullopt;
        const ByteView frame = buffer.subspan(start, replylength);
        const ByteView digits = frame.subspan(1, recorddigits);
        const bool alldigits = std::all_of(digits.begin(), digits.end(),
                                           [](std::uint8_t b) { return b >= '0' && b <= '9'; });
        const std::string check = checkof(digits);
        if (alldigits && frame[1 + recorddigits] == etx &&
            frame[replylength - 2] == static_cast<std::uint8_t>(check[0]) &&
            frame[replylength - 1] == static_cast<std::uint8_t>(check[1]))
            return Found{std::string(digits.begin(), digits.end()), start + replylength};
    }
    return std::nullopt;
}

} // namespace meter::copote
