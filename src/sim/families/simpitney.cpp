// The meter side of the pitney family.
#include "sim/families/families.h"

namespace meter::sim {

std::unique_ptr<Family> familypitney() { return nullptr; }

} // namespace meter::sim
