#pragma once
// The Pitney family (machine types 21 and 22): reading sequence and reply reception.
#include "acquire/driver.h"
#include "serial/link.h"

#include <cstdint>
#include <string_view>

namespace meter {

// Enters readpitney in the family table under 21 and 22.
void addpitney(FamilyTable& table);

// The request buffer for register `name` (the Pitney branch of sendrequest); advances the
// toggle.
RequestBuffer requestpitney(Driver& d, std::string_view name);

// The Pitney branch of nextsequence: the toggle after `value`, stored in pitneytoggle.
std::uint8_t nextpitney(Driver& d, std::uint8_t& value);

} // namespace meter
