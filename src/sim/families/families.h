#pragma once
// The meter side of each protocol family.
#include "sim/meter.h"

namespace meter::sim {

std::unique_ptr<Family> copotefamily();

} // namespace meter::sim
