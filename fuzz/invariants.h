// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the fuzz targets hold every decoded text to.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace meter::fuzzing {

// Register texts only ever hold decimal digits.
inline bool digitsonly(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// How many digits a decoded 5400 reply adds to rxtext at `step`: a postage field (steps 2 and 3)
// or the piece count (step 4); the head number (step 1) replaces what is there.
inline std::size_t fieldgrowth5400(std::int16_t step) {
    return step == 2 || step == 3 ? 12 : step == 4 ? 10 : 0;
}

} // namespace meter::fuzzing
