#include "acquire/driver.h"
#include "acquire/families/read5400.h"
#include "acquire/families/readframed.h"
#include "acquire/families/readpitney.h"

namespace meter {

FamilyTable standardfamilies() {
    FamilyTable table;
    addframed(table);
    add5400(table);
    addpitney(table);
    return table;
}

} // namespace meter
