#pragma once
// Byte frames as they travel on the line: unsigned 8-bit values numbered from 0.
#include <cstdint>
#include <span>
#include <vector>

namespace meter {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

} // namespace meter
