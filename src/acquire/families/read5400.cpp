#include "acquire/families/read5400.h"

namespace meter {

void add5400(FamilyTable& table) { (void)table; }

RequestBuffer request5400(Driver& d, std::string_view name) {
    (void)d;
    (void)name;
    return {};
}

} // namespace meter
