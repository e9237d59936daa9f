// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The 5400 request: start byte, fixed command prefix, one register code and a CRC-16, in an
// 11-byte buffer. Both 5400 meters send identical requests.
#include "core/bytes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace meter {

inline constexpr std::size_t request5400size = 11;
// Positions 0 to 5 of every request.
inline constexpr std::array<std::uint8_t, 6> prefix5400{0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D};

// CRC-16/XMODEM (polynomial 0x1021, start 0, no reflection, no final XOR) over buffer positions
// 1 to n, worked bit by bit with two zero bytes appended. Position 0, the start byte, is never
// read. nullopt when the buffer has no position n.
std::optional<std::uint16_t> crc16(ByteView buffer, std::size_t n);

inline std::uint8_t crclow(std::uint16_t crc) {
    return static_cast<std::uint8_t>(crc & 0xFF);
}
inline std::uint8_t crchigh(std::uint16_t crc) {
    return static_cast<std::uint8_t>(crc >> 8);
}

// The register code of a register name ("表头" 0x0C, "已用邮资" 0x05, "未用邮资" 0x06,
// "总件数" 0x08); 0 for any other name, which still goes out as a request.
std::uint8_t registercode(std::string_view name);

// The register name of a register code; nullptr for a code of no register.
const char* registername5400(std::uint8_t code);

struct Request5400 {
    std::array<std::uint8_t, request5400size> bytes{};
};

// The request for register `name`: FE 01 06 07 04 0D, the register code, the CRC high and low
// byte, then two zero bytes.
Request5400 build5400(std::string_view name);

// The meter's view of the bytes received: whether they begin with a request, and which.
struct Taken5400 {
    enum class Kind {
        notmine,  // no request prefix
        needmore, // the prefix so far; the request is not complete
        request,  // a well-formed request for register `code`
        rejected, // a whole request that is not right, for `reason`
    };
    Kind kind = Kind::notmine;
    std::uint8_t code = 0;
    std::string reason;
};
// Looks at the front of `input`; a request or a rejected one takes request5400size bytes.
Taken5400 take5400(ByteView input);

} // namespace meter
