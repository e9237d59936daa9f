// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The journal: a CSV file to which every reading appends one row, written and read back here
// with one format (its columns, byte order mark and formula guard). A saved .csv reading is a
// journal of one row. Reading it back only ever reads the file; its bytes are untrusted (a
// journal may be edited by hand, cut off, or not a journal at all): fields are well-formed UTF-8
// afterwards and bounded in size, whatever the file holds.
#include "core/reason.h"
#include "frontend/readingreport.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace meter {

// The journal's columns, in the order of the header written today. A journal begun before
// reason_code lacks that column and those after it, one begun before verified lacks that one;
// columns are found by the header's names.
enum class JournalField : std::size_t {
    time,
    port,
    device,
    type,
    code,
    total,
    used,
    unused,
    pieces,
    head,
    record,
    end,
    status,
    reason,
    sent,
    received,
    reasoncode,
    verified,
};
inline constexpr std::size_t journalfields = 18;

// The header's name of a column ("reason_code").
std::string_view journalcolumn(JournalField f);

// CSV (RFC 4180: every field quoted, quotes doubled, CRLF line ends). The header names the
// columns; a row holds one reading. The last columns came after the others (reason_code, then
// verified: "true" or "false" for a reading asked to be verified, else empty): a journal begun
// before one of them keeps its columns (see appendjournal). A text a spreadsheet would
// take for a formula gets a leading apostrophe, which the reader takes off again.
std::string csvheader();
std::string csvrow(const ReadingReport& r);
// A whole file of one reading: UTF-8 byte order mark (so that spreadsheets read the Chinese
// texts as UTF-8), header, row.
std::string csvfile(const ReadingReport& r);

// Appends one row to the journal at `path`, creating it (with byte order mark and header) when
// it is missing or empty. A journal whose header is that of the columns before reason_code or
// before verified gets rows of those columns, so that it stays one table. A file that does not begin with either
// header, or that is no ordinary file, is never written to. The row goes out in a single write
// to a file opened for appending, so rows from programs appending at once never interleave.
// The folder is not created. Returns why it could not, in words that name the cause; empty on
// success.
Reason appendjournal(const std::string& path, const ReadingReport& r);

// Why appendjournal would refuse the file at `path` as it stands: a file that is no journal of
// this program, a folder, a device; none for a journal, an empty file or nothing (the first
// reading begins it). Only reads.
Reason journalrefusal(const std::string& path);

struct JournalRow {
    std::array<std::string, journalfields> fields;
    const std::string& operator[](JournalField f) const {
        return fields[static_cast<std::size_t>(f)];
    }
    std::string& operator[](JournalField f) { return fields[static_cast<std::size_t>(f)]; }
};

// A field longer than this is cut there (a row of the journal's own is far shorter); a row with
// more fields than this ignores the rest.
inline constexpr std::size_t journalfieldlimit = 256 * 1024;
inline constexpr std::size_t journalcolumnlimit = 64;

// The CSV of a journal, fed as it arrives in pieces of any size (a row may be split anywhere).
// The first row is the header: it must name the columns time and status at least, or the text
// is no journal and nothing of it is read. A row counts once its line end (CRLF or LF) is
// there; a line end inside quotes belongs to the field.
class JournalParser {
  public:
    // Appends the rows that `bytes` completes to `out`.
    void feed(std::string_view bytes, std::vector<JournalRow>& out);
    bool header() const { return state_ != State::header; }
    // Whether the header was not a journal's: nothing more is read.
    bool refused() const { return state_ == State::refused; }

  private:
    enum class State { header, rows, refused };
    void take(std::string_view text);
    void endfield();
    void endrow(std::vector<JournalRow>& out);

    State state_ = State::header;
    bool started_ = false; // past a leading byte order mark
    std::string bom_;      // the bytes of a byte order mark seen so far
    bool quoted_ = false;  // inside a quoted field
    bool quote_ = false;   // a quote seen inside a quoted field: its end, or the first of two
    bool cr_ = false;      // a CR seen outside quotes
    bool fieldstarted_ = false;
    bool lastempty_ = false; // the field just ended was empty
    std::string field_;
    std::size_t column_ = 0;         // of the field being read
    std::vector<std::string> names_; // the header's, as it is read
    JournalRow row_;                 // the row being read
    // Where each column of a row goes: an index into JournalRow::fields, or none.
    std::vector<std::size_t> columns_;
};

// Whether any field of `row` holds `needle`, ASCII letters of either case alike; an empty
// needle is in every row.
bool journalmatches(const JournalRow& row, std::string_view needle);

// What reading the file again brought.
struct JournalUpdate {
    bool restarted = false;      // the file was replaced or cut: `rows` are all of it anew
    std::vector<JournalRow> rows; // the rows added (all of them when restarted)
    Reason error;                 // why it could not be read; empty when it was
};

// A journal file read as it grows: each update reads only what was appended since the one
// before. A file that got shorter or whose beginning changed is read anew.
class JournalFile {
  public:
    explicit JournalFile(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }
    JournalUpdate update();

  private:
    std::string path_;
    std::uint64_t offset_ = 0;
    std::string start_; // the file's first bytes as read, to tell a replaced file
    JournalParser parser_;
};

} // namespace meter
