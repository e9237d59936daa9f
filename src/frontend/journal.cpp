// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/journal.h"

#include "core/utf8path.h"
#include "core/utf8text.h"
#include "files/files.h"
#include "frontend/recordview.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <utility>

namespace meter {

namespace {

constexpr std::string_view byteordermark = "\xEF\xBB\xBF";

// The header's names, in the order of JournalField.
constexpr std::string_view names[journalfields] = {
    "time", "port",   "device", "type",     "code",       "total",
    "used", "unused", "pieces", "head",     "record",     "end",
    "status", "reason", "sent", "received", "reason_code", "verified"};
constexpr std::size_t none = journalfields;

// The first characters of a text a spreadsheet would take for a formula.
constexpr const char* formulastart = "=+-@\t\r";

// The writer puts an apostrophe before a text a spreadsheet would take for a formula; the text
// itself is what follows it.
std::string unguarded(std::string text) {
    if (text.size() >= 2 && text.front() == '\'' && std::strchr(formulastart, text[1]) != nullptr)
        text.erase(0, 1);
    return text;
}

// A quoted CSV field of `text` (already well-formed UTF-8), guarded against formulas unless it
// is one of our own names or numbers.
std::string field(const std::string& text, bool guard = true) {
    std::string s = text;
    if (guard && !s.empty() && std::strchr(formulastart, s.front()) != nullptr) s.insert(0, 1, '\'');
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

// The columns of a journal as begun: before reason_code, before verified, or all of today's.
enum class Columns : std::size_t {
    old = journalfields - 2,
    withcode = journalfields - 1,
    all = journalfields,
};

// The fields as a row, those after the journal's columns left out.
std::string joinrow(const std::array<std::string, journalfields>& fields, Columns columns) {
    std::string row;
    for (std::size_t i = 0; i < static_cast<std::size_t>(columns); ++i) {
        if (!row.empty()) row += ',';
        row += fields[i];
    }
    return row + "\r\n";
}

std::string header(Columns columns) {
    std::array<std::string, journalfields> fields;
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i] = field(std::string(names[i]), false);
    return joinrow(fields, columns);
}

std::string row(const ReadingReport& r, Columns columns) {
    const RecordFields f = cutrecord(r.record);
    return joinrow({field(owntext(r.time)), field(std::to_string(r.port), false),
                    field(owntext(r.devicetext())), field(owntext(r.typetext)),
                    field(std::to_string(r.code), false), field(linetext(f.total)),
                    field(linetext(f.used)), field(linetext(f.unused)), field(linetext(f.pieces)),
                    field(linetext(f.head)), field(linetext(r.record)),
                    field(r.normal ? "normal" : "failure"), field(r.status()),
                    field(owntext(r.reason)), field(linetext(r.sent)), field(linetext(r.received)),
                    field(owntext(r.reasoncode), false),
                    field(r.verified ? (*r.verified ? "true" : "false") : "", false)},
                   columns);
}

constexpr Columns generations[] = {Columns::all, Columns::withcode, Columns::old};

// The longest beginning judge() needs to see.
std::size_t judgedlength() {
    std::size_t longest = 0;
    for (const Columns c : generations) longest = std::max(longest, header(c).size());
    return byteordermark.size() + longest;
}

// A journal is ours when it begins, after its byte order mark, with our header or with that of
// the columns of an earlier version; anything else was written by someone else. Its columns,
// or none.
std::optional<Columns> judge(std::string_view start) {
    if (start.substr(0, byteordermark.size()) == byteordermark)
        start.remove_prefix(byteordermark.size());
    for (const Columns c : generations) {
        const std::string head = header(c);
        if (start.substr(0, head.size()) == head) return c;
    }
    return std::nullopt;
}

} // namespace

std::string_view journalcolumn(JournalField f) {
    return names[static_cast<std::size_t>(f)];
}

std::string csvheader() {
    return header(Columns::all);
}

std::string csvrow(const ReadingReport& r) {
    return row(r, Columns::all);
}

std::string csvfile(const ReadingReport& r) {
    return std::string(byteordermark) + csvheader() + csvrow(r);
}

Reason appendjournal(const std::string& path, const ReadingReport& r) {
    // What is there is judged under the lock, so that of programs appending at once only the
    // first writes the header; a journal begun with the old columns keeps them.
    const files::AppendResult done =
        files::append(path, judgedlength(), [&](std::string_view start) -> std::optional<std::string> {
            if (start.empty())
                return std::string(byteordermark) + header(Columns::all) + row(r, Columns::all);
            if (const std::optional<Columns> columns = judge(start)) return row(r, *columns);
            return std::nullopt;
        });
    if (done.declined) return Reason(ReasonCode::journal_not_ours, path);
    if (!done.cause) return {};
    return Reason(done.opened ? ReasonCode::journal_not_written_detail
                              : ReasonCode::journal_not_opened_detail,
                  path, done.cause);
}

Reason journalrefusal(const std::string& path) {
    switch (files::kindof(path)) {
    case files::Kind::missing:
        return {};
    case files::Kind::folder:
        return Reason(ReasonCode::journal_not_opened_detail, path,
                      Reason(ReasonCode::file_is_folder));
    case files::Kind::other:
        return Reason(ReasonCode::journal_not_opened_detail, path,
                      Reason(ReasonCode::file_not_regular));
    case files::Kind::regular:
        break;
    }
    std::string start;
    if (Reason why = files::readstart(path, judgedlength(), start))
        return Reason(ReasonCode::journal_not_opened_detail, path, std::move(why));
    // An empty file becomes a journal with its first reading.
    if (!start.empty() && !judge(start)) return Reason(ReasonCode::journal_not_ours, path);
    return {};
}

void JournalParser::feed(std::string_view bytes, std::vector<JournalRow>& out) {
    if (!started_) {
        // A byte order mark may arrive split like anything else.
        while (!bytes.empty() && bom_.size() < byteordermark.size() &&
               byteordermark.starts_with(bom_ + bytes.front())) {
            bom_ += bytes.front();
            bytes.remove_prefix(1);
        }
        if (bom_.size() < byteordermark.size() && bytes.empty()) return;
        started_ = true;
        if (bom_ != byteordermark) {
            const std::string kept = std::exchange(bom_, {});
            feed(kept, out);
        }
    }
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (state_ == State::refused) return;
        if (quoted_ && !quote_) {
            // Inside quotes everything up to the next quote is the field's, taken at once.
            const std::size_t q = bytes.find('"', i);
            const std::size_t end = q == std::string_view::npos ? bytes.size() : q;
            take(bytes.substr(i, end - i));
            if (q == std::string_view::npos) return;
            quote_ = true;
            i = q + 1;
            continue;
        }
        const char c = bytes[i++];
        if (quoted_) {
            quote_ = false;
            if (c == '"') {
                take("\"");
                continue;
            }
            quoted_ = false; // the field's closing quote; c follows it
        }
        if (cr_) {
            cr_ = false;
            if (c == '\n') {
                endrow(out);
                continue;
            }
            // A CR alone is text of the field.
            take("\r");
            fieldstarted_ = true;
        }
        switch (c) {
        case '\r':
            cr_ = true;
            break;
        case '\n':
            endrow(out);
            break;
        case ',':
            endfield();
            break;
        case '"':
            // A quote opens a field at its start; inside an unquoted field it is text.
            if (!fieldstarted_) {
                quoted_ = true;
                fieldstarted_ = true;
                break;
            }
            [[fallthrough]];
        default:
            fieldstarted_ = true;
            take(std::string_view(&c, 1));
        }
    }
}

void JournalParser::take(std::string_view text) {
    if (field_.size() < journalfieldlimit)
        field_.append(text.substr(0, journalfieldlimit - field_.size()));
}

void JournalParser::endfield() {
    lastempty_ = field_.empty();
    if (state_ == State::header) {
        if (names_.size() < journalcolumnlimit) names_.push_back(unguarded(wellformedutf8(field_)));
    } else if (column_ < columns_.size() && columns_[column_] != none) {
        row_.fields[columns_[column_]] = unguarded(wellformedutf8(field_));
    }
    ++column_;
    field_.clear();
    fieldstarted_ = false;
}

void JournalParser::endrow(std::vector<JournalRow>& out) {
    endfield();
    const bool blank = column_ == 1 && lastempty_; // an empty line is no row
    column_ = 0;
    if (state_ == State::header) {
        const std::vector<std::string> header = std::exchange(names_, {});
        if (blank) return;
        columns_.assign(header.size(), none);
        std::array<bool, journalfields> seen{};
        for (std::size_t i = 0; i < header.size(); ++i) {
            const auto* at = std::find(std::begin(names), std::end(names), header[i]);
            const auto index = static_cast<std::size_t>(at - std::begin(names));
            if (at == std::end(names) || seen[index]) continue;
            seen[index] = true;
            columns_[i] = index;
        }
        const bool journal = seen[static_cast<std::size_t>(JournalField::time)] &&
                             seen[static_cast<std::size_t>(JournalField::status)];
        state_ = journal ? State::rows : State::refused;
        return;
    }
    JournalRow row = std::exchange(row_, {});
    if (!blank) out.push_back(std::move(row));
}

bool journalmatches(const JournalRow& row, std::string_view needle) {
    const auto same = [](char a, char b) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        return lower(a) == lower(b);
    };
    if (needle.empty()) return true;
    return std::any_of(row.fields.begin(), row.fields.end(), [&](const std::string& field) {
        return std::search(field.begin(), field.end(), needle.begin(), needle.end(), same) !=
               field.end();
    });
}

JournalUpdate JournalFile::update() {
    JournalUpdate result;
    // The size of the beginning kept to tell a replaced file from a grown one.
    constexpr std::size_t startsize = 512;
    std::ifstream in(utf8path(path_), std::ios::binary);
    if (!in) {
        result.error = Reason(ReasonCode::journal_not_read, path_);
        return result;
    }
    in.seekg(0, std::ios::end);
    const auto end = static_cast<std::streamoff>(in.tellg());
    if (!in || end < 0) {
        result.error = Reason(ReasonCode::journal_not_read, path_);
        return result;
    }
    const auto size = static_cast<std::uint64_t>(end);
    bool same = size >= offset_;
    if (same && !start_.empty()) {
        std::string start(start_.size(), '\0');
        in.seekg(0);
        in.read(start.data(), static_cast<std::streamsize>(start.size()));
        same = in && start == start_;
    }
    if (!same || offset_ == 0) {
        result.restarted = true;
        offset_ = 0;
        start_.clear();
        parser_ = JournalParser();
    }
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset_));
    std::string chunk(1 << 20, '\0');
    while (offset_ < size) {
        const auto want = static_cast<std::streamsize>(
            std::min<std::uint64_t>(chunk.size(), size - offset_));
        in.read(chunk.data(), want);
        const auto got = in.gcount();
        if (got <= 0) break;
        const std::string_view piece(chunk.data(), static_cast<std::size_t>(got));
        if (start_.size() < startsize)
            start_.append(piece.substr(0, std::min(piece.size(), startsize - start_.size())));
        parser_.feed(piece, result.rows);
        offset_ += static_cast<std::uint64_t>(got);
        if (got < want) break;
    }
    if (parser_.refused()) {
        result.rows.clear();
        result.error = Reason(ReasonCode::not_a_journal, path_);
    }
    return result;
}

} // namespace meter
