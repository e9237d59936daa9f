#pragma once
// The 5400 request: start byte, fixed command prefix, one register code and a CRC-16, in an
// 11-byte buffer. Machine types 12 and 13 send identical requests.
#include "core/bytes.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace meter {

inline constexpr std::size_t request5400size = 11;

// CRC-16/XMODEM (polynomial 0x1021, start 0, no reflection, no final XOR) over buffer positions
// 1 to n, worked bit by bit with two zero bytes appended. Position 0, the start byte, is never
// read. Raises MeterError when the buffer has no position n.
std::uint16_t crc16(ByteView buffer, std::size_t n);

inline std::uint8_t crclow(std::uint16_t crc) {
    return static_cast<std::uint8_t>(crc & 0xFF);
}
inline std::uint8_t crchigh(std::uint16_t crc) {
    return static_cast<std::uint8_t>(crc >> 8);
}

// The register code of a register name ("表头" 0x0C, "已用邮资" 0x05, "未用邮资" 0x06,
// "总件数" 0x08); 0 for any other name, which still goes out as a request.
std::uint8_t registercode(std::string_view name);

struct Request5400 {
    std::array<std::uint8_t, request5400size> bytes{};
    std::uint8_t crclo = 0;
    std::uint8_t crchi = 0;
};

// The request for register `name`: FE 01 06 07 04 0D, the register code, the CRC high and low
// byte, then two zero bytes.
Request5400 build5400(std::string_view name);

} // namespace meter
