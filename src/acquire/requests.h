// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Request building shared by the families: one register request written with its echo
// (5400 and Pitney), and the sequence value that advances with every frame (Pitney toggle,
// framed sequence character). Each family supplies its own branch in its family table entry.
#include "acquire/driver.h"

#include <cstdint>
#include <string_view>

namespace meter {

// Builds the request for register `name` for machine type `code`, writes all 11 bytes of the
// request buffer and echoes as many of them as the type's row says. A type whose family builds
// no request sends the all-zero buffer.
void sendrequest(Driver& d, std::int16_t code, std::string_view name);

// Advances `value` by the rule of the reading's machine type and stores the result in the
// state field it belongs to; returns 0 and changes nothing for a type without one.
std::uint8_t nextsequence(Driver& d, std::uint8_t& value);

} // namespace meter
