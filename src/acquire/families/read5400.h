#pragma once
// The 5400 family (machine types 12 and 13): reading sequence and reply reception.
#include "acquire/driver.h"
#include "serial/link.h"

#include <string_view>

namespace meter {

// Enters read5400 in the family table under 12 and 13.
void add5400(FamilyTable& table);

// The request buffer for register `name` (the 5400 branch of sendrequest).
RequestBuffer request5400(Driver& d, std::string_view name);

} // namespace meter
