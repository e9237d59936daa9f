#include "acquire/driver.h"

namespace meter {

FamilyTable standardfamilies() {
    FamilyTable table;
    return table;
}

} // namespace meter
