// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The machine types, one row each: everything about a type that is plain data. The window's
// list, the command line's type names, initport's check, the line settings the port is opened
// with, the request echo, the poll period and give-up limits of the reading and the progress
// the window shows are all taken from these rows.
//
// What a type does lives with its protocol family, found by the row's family name: the reading
// sequence in the acquisition driver's family table (acquire/families/), the meter side in the
// simulator (sim/families/), both built on the family's wire format (protocols/). A new meter
// is one row here and, for a new family, one folder on each side; a test checks that every row
// finds a reading and a meter side.
#include "core/linesettings.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meter {

// The reply time bound of the families that wait by time rather than by counting polls, in
// milliseconds; initport puts it in waitcount.
inline constexpr std::int16_t replytimebound = 4000;

struct MachineType {
    const char* text; // the list text, exactly as shown
    std::int16_t code;
    // The protocol family that reads the type and plays its meter: "5400", "pitney", "framed",
    // "copote".
    const char* family;
    // The port's line settings; none: the type is read through the vendor library and the
    // serial line is not used.
    std::optional<LineSettings> line;
    // How many bytes of the 11-byte request buffer the sent-traffic echo shows.
    std::size_t echolength = 6;
    // The wait between two looks at the line while a reply is awaited (0: the reading does not
    // poll).
    int pollms = 0;
    // A wait gives up when its count of ten-poll groups (retrycount) reaches this; 0 for a
    // reading that counts no polls.
    std::int16_t retrylimit = 0;
    // A wait gives up after this many milliseconds; 0 for a reading without a time bound.
    int timeboundms = 0;
    // What sets the type apart from the others of its family, in the family's own word
    // ("tens", "highspeed"); empty for none. Only the family knows what it means, and a family
    // reads no row whose word it does not know.
    const char* model = "";

    // The longest one wait can take before the reading gives up, in milliseconds: the poll
    // limit times the poll period, or the time bound; 0 where the reading sets no bound.
    std::int64_t waitlimitms() const;
};

using MachineTypes = std::vector<MachineType>;

// In list order; the first is the default.
const MachineTypes& machinetypes();

// The row of a code; nullptr for a code not in `types`.
const MachineType* findtype(std::int16_t code, const MachineTypes& types = machinetypes());

// Exact, case-sensitive match of the list text; 0 for a text that names no type.
std::int16_t codefor(std::string_view text);
// The list text of a code; empty for a code not in the list.
std::string textfor(std::int16_t code);

} // namespace meter
