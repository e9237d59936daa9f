// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/journal.h"

#include "frontend/readingreport.h"
#include "frontend/recordview.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace meter {
namespace {

const std::string bom = "\xEF\xBB\xBF";

std::vector<JournalRow> parse(std::string_view text, std::size_t piece = 0) {
    JournalParser parser;
    std::vector<JournalRow> rows;
    if (piece == 0) piece = text.size() + 1;
    for (std::size_t at = 0; at < text.size(); at += piece)
        parser.feed(text.substr(at, piece), rows);
    return rows;
}

ReadingReport reading(std::string record, std::string reason = {}, bool normal = true) {
    ReadingReport r;
    r.time = "2026-12-07T15:10:08+08:00";
    r.port = 3;
    r.device = "/dev/ttyUSB0";
    r.typetext = "5400(4表头)";
    r.code = 12;
    r.record = std::move(record);
    r.normal = normal;
    r.reason = std::move(reason);
    r.sent = "02 30 03 ";
    r.received = "06 ";
    r.reasoncode = r.reason.empty() ? "" : "no_reply";
    return r;
}

// Whatever the writer writes comes back field for field, in whichever pieces the bytes arrive.
TEST(Journal, ReadsBackWhatWasWritten) {
    const std::string good = "0000021110500000012345000000008765500000004321" "0000123456";
    std::vector<ReadingReport> readings = {
        reading(good),
        reading("", "no reply to the request, \"twice\"", false),
        reading("=1+2", "line one\r\nline two"),  // a formula's guard, a line end in a field
        reading(good, "-1 is not a byte"),        // a guarded reason
        reading(good, "ok"),
    };
    readings.back().device = "\xFF\xFE" "COM1"; // bytes that are no UTF-8
    std::string text = csvfile(readings.front());
    for (std::size_t i = 1; i < readings.size(); ++i)
        text += csvrow(readings[i]);
    for (const std::size_t piece : {0, 1, 2, 7, 64}) {
        SCOPED_TRACE(piece);
        const auto rows = parse(text, piece);
        ASSERT_EQ(rows.size(), readings.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const ReadingReport& r = readings[i];
            const RecordFields f = cutrecord(r.record);
            const JournalRow& row = rows[i];
            EXPECT_EQ(row[JournalField::time], r.time);
            EXPECT_EQ(row[JournalField::port], std::to_string(r.port));
            EXPECT_EQ(row[JournalField::type], r.typetext);
            EXPECT_EQ(row[JournalField::code], std::to_string(r.code));
            EXPECT_EQ(row[JournalField::total], f.total);
            EXPECT_EQ(row[JournalField::head], f.head);
            EXPECT_EQ(row[JournalField::status], r.status());
            EXPECT_EQ(row[JournalField::reason], r.reason);
            EXPECT_EQ(row[JournalField::sent], r.sent);
            EXPECT_EQ(row[JournalField::reasoncode], r.reasoncode);
            EXPECT_EQ(row[JournalField::record], r.record);
            EXPECT_EQ(row[JournalField::device],
                      i == 4 ? "\xEF\xBF\xBD\xEF\xBF\xBD" "COM1" : r.device);
        }
    }
}

// Texts that are not quite what the writer writes, and what is read of them.
TEST(Journal, ReadsWhatTheFileHolds) {
    const std::string header = R"("time","port","status","reason")";
    const std::string big(journalfieldlimit + 10, 'x');
    std::string wide = header;
    for (std::size_t i = 0; i < journalcolumnlimit + 5; ++i)
        wide += ",\"c\"";
    struct Case {
        const char* name;
        std::string text;
        std::size_t rows;
        std::string time;   // of the first row
        std::string status; // of the first row
        bool refused;
    };
    const std::vector<Case> cases = {
        {"no byte order mark, LF", header + "\n\"t1\",\"1\",\"read\",\"\"\n", 1, "t1", "read", false},
        {"unquoted fields", "time,status\r\nt1,failed\r\n", 1, "t1", "failed", false},
        {"columns in another order", "status,x,time\r\nnodata,?,t2\r\n", 1, "t2", "nodata", false},
        {"short row", bom + header + "\r\n\"t1\"\r\n", 1, "t1", "", false},
        {"empty lines are no rows", header + "\r\n\r\n\r\nt1,1,read,\r\n\r\n", 1, "t1", "read", false},
        {"the last row without its line end", header + "\r\nt1,1,read,\r\nt2,1,rea", 1, "t1", "read",
         false},
        {"a quote opened and never closed", header + "\r\n\"t1,1,read\r\n", 0, "", "", false},
        {"a quote inside an unquoted field", "time,status\r\nt\"1,read\r\n", 1, "t\"1", "read", false},
        {"a CR alone is text", "time,status\r\nt\r1,read\r\n", 1, "t\r1", "read", false},
        {"a field too long is cut", "time,status\r\n" + big + ",read\r\n", 1,
         std::string(journalfieldlimit, 'x'), "read", false},
        {"too many columns", wide + "\r\nt1,1,read,\r\n", 1, "t1", "read", false},
        {"empty", "", 0, "", "", false},
        {"only a byte order mark", bom, 0, "", "", false},
        {"another CSV file", "name,value\r\na,1\r\n", 0, "", "", true},
        {"a text file", "hello\nworld\n", 0, "", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::size_t piece : {0, 1, 3}) {
            JournalParser parser;
            std::vector<JournalRow> rows;
            const std::string_view text = c.text;
            for (std::size_t at = 0; at < text.size(); at += piece ? piece : text.size())
                parser.feed(text.substr(at, piece ? piece : text.size()), rows);
            EXPECT_EQ(parser.refused(), c.refused);
            ASSERT_EQ(rows.size(), c.rows);
            if (rows.empty()) continue;
            EXPECT_EQ(rows[0][JournalField::time], c.time);
            EXPECT_EQ(rows[0][JournalField::status], c.status);
        }
    }
}

// A journal begun before reason_code, or before verified, reads the same, those columns empty.
TEST(Journal, ReadsTheOldColumns) {
    ReadingReport r = reading("", "the meter gave no register values");
    r.reasoncode = "no_register_values";
    r.verified = false;
    for (const std::string column : {",\"reason_code\"", ",\"verified\""}) {
        SCOPED_TRACE(column);
        std::string header = csvheader();
        header.erase(header.rfind(column));
        std::string row = csvrow(r);
        const bool both = column == ",\"reason_code\"";
        row.erase(both ? row.rfind(",\"", row.rfind(",\"") - 1) : row.rfind(",\""));
        const auto rows = parse(bom + header + "\r\n" + row + "\r\n");
        ASSERT_EQ(rows.size(), 1U);
        EXPECT_EQ(rows[0][JournalField::reason], r.reason);
        EXPECT_EQ(rows[0][JournalField::received], r.received);
        EXPECT_EQ(rows[0][JournalField::reasoncode], both ? "" : r.reasoncode);
        EXPECT_EQ(rows[0][JournalField::verified], "");
    }
}

// No bytes make the parser fail or hold more than its bounds.
TEST(Journal, TakesAnyBytes) {
    std::mt19937 random(20261208);
    const std::string alphabet = "\",\r\n\xEF\xBB\xBF\xFF" "ab";
    for (int round = 0; round < 200; ++round) {
        std::string text = round % 2 ? "time,status\r\n" : "";
        for (int i = 0; i < 400; ++i)
            text += alphabet[random() % alphabet.size()];
        for (const JournalRow& row : parse(text, 1 + round % 5))
            for (const std::string& field : row.fields)
                EXPECT_LE(field.size(), 3 * journalfieldlimit);
    }
}

struct TempFile {
    std::filesystem::path path;
    TempFile() {
        path = std::filesystem::temp_directory_path() /
               ("journaltest-" + std::to_string(std::random_device()()) + ".csv");
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    void write(const std::string& text, bool append) const {
        std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
        out << text;
    }
};

// The file as it changes between two updates, and what the second update brings.
TEST(Journal, FollowsTheFile) {
    const ReadingReport first = reading("", "first", false);
    const ReadingReport second = reading("", "second");
    enum class Change { append, appendhalf, replace, shorten, remove, nothing };
    struct Case {
        const char* name;
        Change change;
        bool restarted;
        std::vector<std::string> reasons; // of the rows the second update brings
        bool error;
    };
    const std::vector<Case> cases = {
        {"a row appended", Change::append, false, {"second"}, false},
        {"half a row appended", Change::appendhalf, false, {}, false},
        {"nothing changed", Change::nothing, false, {}, false},
        {"replaced by another journal", Change::replace, true, {"second", "second"}, false},
        {"cut to its header", Change::shorten, true, {}, false},
        {"removed", Change::remove, false, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempFile file;
        file.write(csvfile(first), false);
        JournalFile journal(file.path.string());
        const JournalUpdate start = journal.update();
        EXPECT_TRUE(start.restarted);
        ASSERT_EQ(start.rows.size(), 1U);
        EXPECT_EQ(start.rows[0][JournalField::reason], "first");
        const std::string row = csvrow(second);
        switch (c.change) {
        case Change::append: file.write(row, true); break;
        case Change::appendhalf: file.write(row.substr(0, row.size() / 2), true); break;
        case Change::replace: file.write(bom + csvheader() + row + row, false); break;
        case Change::shorten: file.write(bom + csvheader(), false); break;
        case Change::remove: std::filesystem::remove(file.path); break;
        case Change::nothing: break;
        }
        const JournalUpdate next = journal.update();
        EXPECT_EQ(next.restarted, c.restarted);
        EXPECT_EQ(!next.error.empty(), c.error);
        std::vector<std::string> reasons;
        for (const JournalRow& r : next.rows)
            reasons.push_back(r[JournalField::reason]);
        EXPECT_EQ(reasons, c.reasons);
        if (c.change == Change::appendhalf) {
            // The rest of the row arrives: the row is read once, whole.
            file.write(row.substr(row.size() / 2), true);
            const JournalUpdate rest = journal.update();
            ASSERT_EQ(rest.rows.size(), 1U);
            EXPECT_EQ(rest.rows[0][JournalField::reason], "second");
        }
    }
}

TEST(Journal, RefusesAFileThatIsNoJournal) {
    const TempFile file;
    file.write("name,value\r\na,1\r\n", false);
    JournalFile journal(file.path.string());
    const JournalUpdate u = journal.update();
    EXPECT_EQ(u.error.code(), ReasonCode::not_a_journal);
    EXPECT_TRUE(u.rows.empty());
}

} // namespace
} // namespace meter
