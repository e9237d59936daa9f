// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One finished reading as it is kept: a file the operator saves (CSV or JSON) and the journal,
// a CSV file to which every reading appends one row. Plain text, UTF-8; shared by both front
// ends.
#include "core/reason.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace meter {

struct ReadingReport {
    std::string time; // local time with its offset: 2026-12-07T15:10:08+08:00
    int port = 0;
    std::string device;   // what stands behind the port
    std::string typetext; // the machine type text as chosen
    std::int16_t code = 0;
    std::string record; // the register record the labels were cut from
    bool normal = true; // the reading's end: normal or failure
    std::string reason; // why it read nothing, in English; empty for a good reading
    std::string sent;   // the two traffic texts
    std::string received;
    std::string reasoncode; // the reason's stable name ("no_reply"); empty for none
    bool demo = false;      // read from the built-in simulated meter, not a real one

    // The device as the files keep it: "demo" for the simulated meter, whose device is made
    // anew for every run.
    std::string devicetext() const { return demo ? "demo" : device; }

    // Both texts of the reason from `why`. The hint added to a reading that never got a byte
    // does not change its code: scripts key on the code of what went wrong ("no_reply").
    void setreason(const Reason& why) {
        reason = why.english();
        const Reason* keyed = &why;
        if (why.code() == ReasonCode::nothing_received && !why.parts().empty() &&
            why.parts().front().nested)
            keyed = why.parts().front().nested.get();
        reasoncode = std::string(keyed->name());
    }

    // "read" (values read), "nodata" (normal end, nothing read) or "failed" (failure end).
    std::string status() const;
};

// ISO-8601 local time of `when`, with the offset from UTC ("+08:00").
std::string localtimestamp(std::time_t when);

// CSV (RFC 4180: every field quoted, quotes doubled, CRLF line ends). The header names the
// columns; a row holds one reading. The last column, reason_code, came after the others: a
// journal begun before it keeps its columns (see appendjournal).
std::string csvheader();
std::string csvrow(const ReadingReport& r);
// A whole file of one reading: UTF-8 byte order mark (so that spreadsheets read the Chinese
// texts as UTF-8), header, row.
std::string csvfile(const ReadingReport& r);

// One JSON object with the same fields, the five values and the status included.
std::string jsontext(const ReadingReport& r);

// Writes `text` to `path`, replacing the file. Returns why it could not, empty on success.
Reason writefile(const std::string& path, const std::string& text);

// Appends one row to the journal at `path`, creating it (with byte order mark and header) when
// it is missing or empty. A journal whose header is that of the columns before reason_code gets
// rows of those columns, so that it stays one table. A file that does not begin with either
// header, or that is no ordinary file, is never written to. The row goes out in a single write
// to a file opened for appending, so rows from programs appending at once never interleave.
// Returns why it could not, in words that name the cause; empty on success.
Reason appendjournal(const std::string& path, const ReadingReport& r);

} // namespace meter
