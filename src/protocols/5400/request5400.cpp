// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocols/5400/request5400.h"

#include "core/hexecho.h"

#include <algorithm>

namespace meter {

std::optional<std::uint16_t> crc16(ByteView buffer, std::size_t n) {
    if (n >= buffer.size()) return std::nullopt;
    std::uint32_t crc = 0;
    for (std::size_t k = 1; k <= n + 2; ++k) {
        std::uint8_t c = k <= n ? buffer[k] : 0;
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = (crc & 0x8000) != 0;
            crc = crc * 2 + ((c >> 7) & 1);
            c = static_cast<std::uint8_t>(c << 1);
            if (carry) crc ^= 0x11021;
        }
    }
    return static_cast<std::uint16_t>(crc);
}

std::uint8_t registercode(std::string_view name) {
    if (name == "表头") return 0x0C;
    if (name == "已用邮资") return 0x05;
    if (name == "未用邮资") return 0x06;
    if (name == "总件数") return 0x08;
    return 0x00;
}

const char* registername5400(std::uint8_t code) {
    switch (code) {
    case 0x0C:
        return "表头";
    case 0x05:
        return "已用邮资";
    case 0x06:
        return "未用邮资";
    case 0x08:
        return "总件数";
    default:
        return nullptr;
    }
}

Request5400 build5400(std::string_view name) {
    Request5400 r;
    std::copy(prefix5400.begin(), prefix5400.end(), r.bytes.begin());
    r.bytes[6] = registercode(name);
    const std::uint16_t crc = *crc16(r.bytes, 6);
    r.bytes[7] = crchigh(crc);
    r.bytes[8] = crclow(crc);
    r.bytes[9] = 0x00;
    return r;
}

} // namespace meter

namespace meter {

Taken5400 take5400(ByteView input) {
    using Kind = Taken5400::Kind;
    const std::size_t seen = std::min(input.size(), prefix5400.size());
    if (!std::equal(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(seen),
                    prefix5400.begin()))
        return {};
    if (input.size() < request5400size) return {Kind::needmore, 0, {}};

    const ByteView request = input.first(request5400size);
    const std::uint8_t code = request[6];
    if (!registername5400(code)) return {Kind::rejected, code, "unknown register " + hexpair(code)};
    const std::uint16_t crc = *crc16(request, 6);
    if (request[7] != crchigh(crc) || request[8] != crclow(crc))
        return {Kind::rejected, code,
                "CRC " + hexpair(request[7]) + " " + hexpair(request[8]) + ", expected " +
                    hexpair(crchigh(crc)) + " " + hexpair(crclow(crc))};
    if (request[9] != 0 || request[10] != 0)
        return {Kind::rejected, code, "request does not end in 00 00"};
    return {Kind::request, code, {}};
}

} // namespace meter
