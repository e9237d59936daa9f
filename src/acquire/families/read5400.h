// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The 5400 family (machine types 12 and 13): reading sequence and reply reception.
#include "acquire/driver.h"
#include "protocols/5400/reply5400.h"
#include "serial/link.h"

#include <cstdint>
#include <string_view>

namespace meter {

// The family's entry: read5400 and its requests.
FamilyEntry entry5400();

// The request buffer for register `name` (the 5400 branch of sendrequest); keeps its CRC in
// crclo and crchi.
RequestBuffer request5400(Driver& d, std::string_view name);

// One poll: waits the poll period, reads and echoes what the meter sent, and decodes a reply
// that is complete into rxtext. `scanner` keeps a reply (or a header) that a read cut off until
// the rest arrives; it belongs to one reading.
void receive5400(Driver& d, Scanner5400& scanner);

// The reading sequence: head number, used postage, unused postage and piece count, one request
// at a time, each sent once the previous reply has been decoded; then the record, with total
// postage as used plus unused postage. A register that does not come within the row's poll
// limit ends the reading without a record (normal end).
bool read5400(Driver& d, std::int16_t code);

} // namespace meter
