// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A capture: the exact exchange of one reading, as it crossed the line (or the vendor library's
// calls), with its times, its poll boundaries and how the reading ended. Kept as a file of JSON
// lines (docs/capture-format.md): a header line, one line per event, the outcome line. A capture
// comes from the field, so every byte of a file is untrusted: reading one gives the capture or
// the reason it is not one, with the line at fault.
#include "core/bytes.h"
#include "core/linesettings.h"
#include "core/reason.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meter {

inline constexpr std::string_view captureformat = "meterreader-capture";
// The newest version this program reads and writes. A capture of a single reading is written
// as version 1, which every reader of captures takes; one of a verified reading (asked to be
// read twice) as version 2.
inline constexpr int captureversion = 2;
inline constexpr int captureversionsingle = 1;
// A file larger than this is not read.
inline constexpr std::size_t capturemaxbytes = 16u * 1024 * 1024;

struct CaptureHeader {
    int version = captureversionsingle;
    std::string program;  // the version of the program that made it
    std::string typetext; // the machine type as chosen
    std::int16_t code = 0;
    // The port's line settings; none for a type read through the vendor library.
    std::optional<LineSettings> line;
    int port = 0;
    std::string device; // what stood behind the port: "demo" for the built-in simulated meter
    bool demo = false;  // read from the built-in simulated meter (absent before: false)
    std::string start;  // when the reading started, ISO 8601 local time with its offset
    bool verify = false; // asked to be verified: read twice, good only when both agree (v2)

    bool operator==(const CaptureHeader&) const = default;
};

// One thing that happened during the reading, `ms` milliseconds after it started.
struct CaptureEvent {
    enum class Kind {
        tx,     // the bytes of one write
        rx,     // the bytes one read returned (reads that returned nothing are not kept)
        poll,   // a poll boundary: the reading looks at the line for the `count`-th time
        vendor, // one call of the vendor library, its argument and its result
        error,  // a call of the serial device that failed: `call`, and `why` it failed
    };
    Kind kind = Kind::tx;
    std::int64_t ms = 0;
    Bytes bytes;               // tx, rx
    std::int64_t count = 0;    // poll
    std::string call;          // vendor: ComOpen, ReadRegister, ComClose, lasterror; error: the
                               // device call (open, write, byteswaiting, readall)
    std::int32_t argument = 0; // vendor: the port the call was given (none for lasterror)
    std::int32_t number = 0;   // vendor: the result of ComOpen and ComClose
    std::string text;          // vendor: the result of ReadRegister and lasterror, as bytes
    Reason why;                // vendor, error: the call did not return, for this reason

    bool operator==(const CaptureEvent&) const = default;
};

struct CaptureOutcome {
    std::int64_t ms = 0;
    std::string end;        // "normal", "failure" or "cancelled"
    std::string status;     // "read", "nodata" or "failed"
    std::string reasoncode; // the reason's stable name; empty for a good reading
    std::string reason;     // its English text, as the journal keeps it
    std::string record;     // the register record, as bytes
    std::string sent;       // the two traffic texts, as the window's boxes show them
    std::string received;
    std::optional<bool> verified; // for a reading asked to be verified: whether both agreed

    bool operator==(const CaptureOutcome&) const = default;
};

struct Capture {
    CaptureHeader header;
    std::vector<CaptureEvent> events; // the reading's exchange; a verified one's first
    // A verified reading that read again: the second exchange, its times since the first began.
    bool again = false;
    std::int64_t againms = 0; // when the second began
    std::vector<CaptureEvent> second;
    CaptureOutcome outcome;

    bool operator==(const Capture&) const = default;
};

// The capture as the text of its file: UTF-8, one JSON object per line, each line ended by LF.
std::string capturetext(const Capture& capture);

// What reading a capture gave: the capture, or why the text is not one (`why` names the line).
struct CaptureRead {
    std::optional<Capture> capture;
    Reason why;
};

// The capture in `text` (a file's whole content).
CaptureRead parsecapture(std::string_view text);

// The capture in the file at `path`; a file over capturemaxbytes is refused unread.
CaptureRead readcapture(const std::filesystem::path& path);

// Whether `start`, the first bytes of a file, begin a capture: its first line is a capture's
// header line (of any version).
bool iscapture(std::string_view start);

// Name of an event kind as the file gives it ("tx"), and back.
std::string_view eventname(CaptureEvent::Kind kind);
std::optional<CaptureEvent::Kind> eventkind(std::string_view name);

} // namespace meter
