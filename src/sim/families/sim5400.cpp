// The meter side of the 5400 family.
#include "sim/families/families.h"

namespace meter::sim {

std::unique_ptr<Family> family5400() { return nullptr; }

} // namespace meter::sim
