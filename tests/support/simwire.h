// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a simulated meter puts on the line for one input, its emissions joined in order.
#include "sim/meter.h"

#include <vector>

namespace meter::testing {

inline Bytes wire(const std::vector<sim::Emission>& emissions) {
    Bytes all;
    for (const auto& e : emissions)
        all.insert(all.end(), e.bytes.begin(), e.bytes.end());
    return all;
}

} // namespace meter::testing
