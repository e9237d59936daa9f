// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Pitney family (machine types 21 and 22): reading sequence and reply reception.
#include "acquire/driver.h"
#include "protocols/pitney/pitney.h"
#include "serial/link.h"

#include <cstdint>
#include <string_view>

namespace meter {

// The family's entry: readpitney, its requests and its toggle.
FamilyEntry entrypitney();

// The request buffer for register `name` (the Pitney branch of sendrequest); advances the
// toggle.
RequestBuffer requestpitney(Driver& d, std::string_view name);

// The Pitney branch of nextsequence: the toggle after `value`, stored in pitneytoggle.
std::uint8_t nextpitney(Driver& d, std::uint8_t& value);

// One poll: waits the poll period, takes every byte waiting, acknowledges (type 22), echoes
// what was taken and hands every reply frame completed so far to parsepitney, in arrival order.
// `cutter` carries a frame still open at the end of the poll over to the next one.
void receivepitney(Driver& d, PitneyCutter& cutter);

// The whole exchange with a Pitney meter: the five registers, one request each, in record
// order. True for the normal end (also when the meter stays silent too long), false when the
// port cannot be opened.
bool readpitney(Driver& d, std::int16_t code);

} // namespace meter
