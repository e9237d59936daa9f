// The meter side of the framed family.
#include "sim/families/families.h"

namespace meter::sim {

std::unique_ptr<Family> familyframed() { return nullptr; }

} // namespace meter::sim
