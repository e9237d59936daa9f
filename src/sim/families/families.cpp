#include "sim/families/families.h"

namespace meter::sim {

std::vector<std::unique_ptr<Family>> allfamilies() {
    std::vector<std::unique_ptr<Family>> all;
    all.push_back(copotefamily());
    return all;
}

} // namespace meter::sim
