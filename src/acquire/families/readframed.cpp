#include "acquire/families/readframed.h"

namespace meter {

void addframed(FamilyTable& table) { (void)table; }

std::uint8_t nextframed(Driver& d, std::uint8_t& value) {
    (void)d;
    (void)value;
    return 0;
}

} // namespace meter
