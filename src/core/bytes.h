// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Byte frames as they travel on the line: unsigned 8-bit values numbered from 0.
#include <cstdint>
#include <span>
#include <vector>

namespace meter {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// The ASCII control characters the meters frame their messages with.
namespace ascii {
inline constexpr std::uint8_t soh = 0x01; // start of heading
inline constexpr std::uint8_t stx = 0x02; // start of text
inline constexpr std::uint8_t etx = 0x03; // end of text
inline constexpr std::uint8_t eot = 0x04; // end of transmission
inline constexpr std::uint8_t ack = 0x06; // acknowledge
} // namespace ascii

} // namespace meter
