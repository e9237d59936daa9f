#pragma once
// The framed command family (machine types 11 and 31): reading sequences and reply reception.
#include "acquire/driver.h"

#include <cstdint>

namespace meter {

// Enters readneopost under 11 and readhighspeed under 31.
void addframed(FamilyTable& table);

// The framed branch of nextsequence: the sequence character after `value`, stored in seqchar.
std::uint8_t nextframed(Driver& d, std::uint8_t& value);

} // namespace meter
