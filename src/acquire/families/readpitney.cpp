#include "acquire/families/readpitney.h"

namespace meter {

void addpitney(FamilyTable& table) { (void)table; }

RequestBuffer requestpitney(Driver& d, std::string_view name) {
    (void)d;
    (void)name;
    return {};
}

std::uint8_t nextpitney(Driver& d, std::uint8_t& value) {
    (void)d;
    (void)value;
    return 0;
}

} // namespace meter
