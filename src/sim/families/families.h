// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The meter side of each protocol family. A family not built yet gives nullptr.
#include "sim/meter.h"

namespace meter::sim {

std::unique_ptr<Family> copotefamily();
std::unique_ptr<Family> family5400();
std::unique_ptr<Family> familypitney();
std::unique_ptr<Family> familyframed();

} // namespace meter::sim
