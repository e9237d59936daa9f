// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The meter sides register themselves, one per file of sim/families/: the list of them is made
// from those files. A meter side's rank orders the sides an automatic meter tries in turn.
#include "sim/meter.h"

#include <memory>
#include <utility>

namespace meter::sim {

using RegisteredFamily = std::pair<int, std::unique_ptr<Family> (*)()>;

#define METER_SIMULATED_FAMILY(symbol, rank, maker)                                                \
    ::meter::sim::RegisteredFamily registeredmeter_##symbol() {                                    \
        return {rank, maker};                                                                      \
    }

} // namespace meter::sim
