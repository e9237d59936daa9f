// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/families/families.h"

namespace meter::sim {

std::vector<std::unique_ptr<Family>> allfamilies() {
    std::vector<std::unique_ptr<Family>> all;
    for (auto f : {family5400, familypitney, familyframed, copotefamily})
        if (auto family = f()) all.push_back(std::move(family));
    return all;
}

} // namespace meter::sim
