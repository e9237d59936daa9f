// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The framed command family (machine types 11 and 31): reading sequences and reply reception.
#include "acquire/driver.h"

#include <cstdint>

namespace meter {

// The family's entry: readframed, with the sequence character.
FamilyEntry entryframed();

// The framed branch of nextsequence: the sequence character after `value`, stored in seqchar.
std::uint8_t nextframed(Driver& d, std::uint8_t& value);

// The command frame for the reading's machine type, carrying the next sequence character.
// Empty, with seqchar left alone, when the type has no frame for `command`.
Bytes buildcommand(Driver& d, std::int16_t command);

// Waits up to `timebound` ms, in polls of the row's period, for the reply `replycode` of the
// reading's machine type; stores and echoes what arrives, checks it and, for a register reply,
// decodes it into regrecord. False, with the reason given to the driver, when no good reply
// came. A lost line or a cancelled reading is not a missing reply: its MeterError goes on to the
// driver.
bool receiveframe(Driver& d, std::int16_t replycode, std::int16_t timebound);

// The reading sequences: neopost (command 5 acknowledged, then command 2 for the registers)
// and the high-speed machine (one command, one register reply). No retries.
bool readneopost(Driver& d, std::int16_t code);
bool readhighspeed(Driver& d, std::int16_t code);
// The family's reading sequence: the high-speed machine's for a type whose one frame takes any
// command code, the neopost's otherwise.
bool readframed(Driver& d, std::int16_t code);

} // namespace meter
