// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One finished reading as both front ends report it, and its JSON. Its CSV (a saved .csv file
// and the journal's row) is in journal.h, with the journal's format.
#include "core/reason.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace meter {

struct ReadingReport {
    std::string time; // local time with its offset: 2026-12-07T15:10:08+08:00
    int port = 0;
    std::string device;   // what stands behind the port
    std::string typetext; // the machine type's list text ("5400(5表头)"), in every language
    std::int16_t code = 0;
    std::string record; // the register record the labels were cut from
    bool normal = true; // the reading's end: normal or failure
    std::string reason; // why it read nothing, in English; empty for a good reading
    std::string sent;   // the two traffic texts
    std::string received;
    std::string reasoncode; // the reason's stable name ("no_reply"); empty for none
    bool demo = false;      // read from the built-in simulated meter, not a real one
    std::int64_t elapsedms = 0; // how long the reading took
    // Asked to be verified (read twice): whether both readings agreed. None when not asked.
    std::optional<bool> verified{};

    // The device as the files keep it: "demo" for the simulated meter, whose device is made
    // anew for every run.
    std::string devicetext() const { return demo ? "demo" : device; }

    // Both texts of the reason from `why`. The hint added to a reading that never got a byte,
    // and the note that it was the second of a verified reading, do not change its code:
    // scripts key on the code of what went wrong ("no_reply").
    void setreason(const Reason& why) {
        reason = why.english();
        const Reason* keyed = &why;
        while ((keyed->code() == ReasonCode::nothing_received ||
                keyed->code() == ReasonCode::second_reading_failed) &&
               !keyed->parts().empty() && keyed->parts().front().nested)
            keyed = keyed->parts().front().nested.get();
        reasoncode = std::string(keyed->name());
    }

    // "read" (values read), "nodata" (normal end, nothing read) or "failed" (failure end).
    std::string status() const;
};

// ISO-8601 local time of `when`, with the offset from UTC ("+08:00").
std::string localtimestamp(std::time_t when);

// The reading as one JSON object, the same for every caller (meterread --json, a saved .json
// file): the report's fields, the five values, the status, "demo", "elapsed_ms", and "verified"
// when the reading was asked to be verified. Texts from
// the line (the record, the values, the traffic) are read as Latin-1, the others are cleaned
// to well-formed UTF-8. `indent` < 0 gives one line, else one member a line.
std::string jsontext(const ReadingReport& r, int indent = 2);

// The text that stands for a line's bytes in the files (Latin-1 read as UTF-8), and for a text
// of ours (well-formed UTF-8): the one cleaning both the JSON and the CSV use.
std::string linetext(std::string_view bytes);
std::string owntext(std::string_view text);

} // namespace meter
