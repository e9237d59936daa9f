// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/journal.h"

#include "support/csv.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace meter {
namespace {

using testing::parsecsv;

const std::vector<std::string> header{
    "time", "port",   "device", "type",   "code",   "total", "used",     "unused",     "pieces",
    "head", "record", "end",    "status", "reason", "sent",  "received", "reason_code",
    "verified"};
// The columns of a journal begun before verified, and before reason_code.
const std::vector<std::string> codeheader(header.begin(), header.end() - 1);
const std::vector<std::string> oldheader(header.begin(), header.end() - 2);

#ifndef _WIN32
std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::string t = (std::filesystem::temp_directory_path() / "readingreportXXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};
#endif

void settz(const std::string& tz) {
#ifdef _WIN32
    _putenv_s("TZ", tz.c_str());
    _tzset();
#else
    tz.empty() ? ::unsetenv("TZ") : ::setenv("TZ", tz.c_str(), 1);
    ::tzset();
#endif
}

// A reading, and the eighteen fields every format must give back for it.
struct Case {
    const char* name;
    ReadingReport report;
    std::vector<std::string> fields;
};

std::vector<Case> cases() {
    const std::string r56 = "00000123456700000098760000000123456000000302000012345678";
    return {
        {"good",
         {"2026-12-07T15:10:08+08:00", 3, "/dev/ttyUSB0", "5400(4表头)", 12, r56, true, "",
          " FE 1 6 7 4 D C B2 18 0 0,", " FE 1 2,", ""},
         {"2026-12-07T15:10:08+08:00", "3", "/dev/ttyUSB0", "5400(4表头)", "12", "000001234567",
          "000000987600", "000001234560", "0000030200", "0012345678", r56, "normal", "read", "",
          " FE 1 6 7 4 D C B2 18 0 0,", " FE 1 2,", "", ""}},
        {"nothing read",
         {"t", 1, "COM1", "neopost", 11, std::string(56, '0'), true, "no reply, \"at all\"", "", "",
          "no_reply"},
         {"t", "1", "COM1", "neopost", "11", "000000000000", "000000000000", "000000000000",
          "0000000000", "0000000000", std::string(56, '0'), "normal", "nodata",
          "no reply, \"at all\"", "", "", "no_reply", ""}},
        // Whatever the vendor library returned: line breaks and quotes stay inside the field,
        // a byte of the line is read as Latin-1 (as the window shows it), a byte of our own
        // texts that is not UTF-8 becomes U+FFFD, a formula is not run by a spreadsheet.
        {"failed, odd texts",
         {"t", -2, "a,b\r\nc\xFF", "copote", 51, "=1+2\xFF", false,
          "@cmd|' /C calc'!A0\nline 2", "", "", "system_message"},
         {"t", "-2", "a,b\r\nc\xEF\xBF\xBD", "copote", "51", "'=1+2\xC3\xBF", "", "", "", "",
          "'=1+2\xC3\xBF", "failure", "failed", "'@cmd|' /C calc'!A0\nline 2", "", "",
          "system_message", ""}},
        // The demo meter's device is made anew for every run: the files say "demo".
        {"demo",
         {"t", 2, "/dev/pts/7", "copote", 51, r56, true, "", "", "", "", true},
         {"t", "2", "demo", "copote", "51", "000001234567", "000000987600", "000001234560",
          "0000030200", "0012345678", r56, "normal", "read", "", "", "", "", ""}},
        // Asked to be verified: whether the two readings agreed, in the last column.
        {"verified",
         {"t", 4, "COM4", "高速机", 31, r56, true, "", " 1, || 1,", " 2, || 2,", "", false, 0,
          true},
         {"t", "4", "COM4", "高速机", "31", "000001234567", "000000987600", "000001234560",
          "0000030200", "0012345678", r56, "normal", "read", "", " 1, || 1,", " 2, || 2,", "",
          "true"}},
        {"not verified",
         {"t", 4, "COM4", "高速机", 31, r56, false, "the two readings' used postage differ", "",
          "", "readings_differ", false, 0, false},
         {"t", "4", "COM4", "高速机", "31", "000001234567", "000000987600", "000001234560",
          "0000030200", "0012345678", r56, "failure", "failed",
          "the two readings' used postage differ", "", "", "readings_differ", "false"}},
    };
}

TEST(ReadingReport, CsvFile_RoundTripsEveryField) {
    for (const Case& c : cases()) {
        const std::string file = csvfile(c.report);
        ASSERT_EQ(file.substr(0, 3), "\xEF\xBB\xBF") << c.name;
        const auto rows = parsecsv(file.substr(3));
        ASSERT_EQ(rows.size(), 2u) << c.name;
        EXPECT_EQ(rows[0], header);
        EXPECT_EQ(rows[1], c.fields) << c.name;
    }
}

TEST(ReadingReport, Json_RoundTripsEveryField) {
    for (const Case& c : cases()) {
        const auto j = nlohmann::json::parse(jsontext(c.report));
        // meterread prints the same object on one line.
        EXPECT_EQ(nlohmann::json::parse(jsontext(c.report, -1)), j);
        EXPECT_EQ(jsontext(c.report, -1).find('\n'), jsontext(c.report, -1).size() - 1);
        // "verified" only for a reading asked to be verified.
        ASSERT_EQ(j.size(), header.size() + 1 + c.report.verified.has_value()) << c.name;
        EXPECT_EQ(j.at("demo"), c.report.demo);
        EXPECT_EQ(j.at("elapsed_ms"), c.report.elapsedms);
        if (c.report.verified) {
            EXPECT_EQ(j.at("verified"), *c.report.verified);
        }
        for (std::size_t i = 0; i + 1 < header.size(); ++i) {
            const auto& v = j.at(header[i]);
            // JSON needs no guard against formulas: it keeps the text as it was, but in UTF-8.
            std::string want = c.fields[i];
            if (want.rfind('\'', 0) == 0) want.erase(0, 1);
            EXPECT_EQ(v.is_number() ? std::to_string(v.get<int>()) : v.get<std::string>(), want)
                << c.name << ": " << header[i];
        }
    }
}

// The offset is worked out, not taken from the C runtime's %z, which on Windows is a name.
TEST(ReadingReport, LocalTimestamp_CarriesTheZonesOffset) {
    const std::string saved = std::getenv("TZ") ? std::getenv("TZ") : "";
    const struct {
        const char* tz;
        std::time_t when;
        const char* text;
    } zones[] = {{"UTC0", 86400, "1970-01-02T00:00:00+00:00"},
                 {"CST-8", 86400, "1970-01-02T08:00:00+08:00"},
                 {"NST+3:30", 86400, "1970-01-01T20:30:00-03:30"},
                 // Local time a day and a year behind UTC, and a day ahead.
                 {"NST+3:30", 31536000, "1970-12-31T20:30:00-03:30"},
                 {"AAA-13:45", 86400 * 2 - 3600, "1970-01-03T12:45:00+13:45"},
                 {"CST-8", 1796655662, "2026-12-07T23:01:02+08:00"}};
    for (const auto& z : zones) {
        settz(z.tz);
        EXPECT_EQ(localtimestamp(z.when), z.text) << z.tz << " " << z.when;
    }
    settz(saved);
}

#ifndef _WIN32
// Two programs append to one journal at once: every row arrives whole, the header once.
TEST(ReadingReport, ConcurrentJournalAppends_KeepWholeRows) {
    TempDir dir;
    const std::string journal = (dir.path / "journal.csv").string();
    constexpr int rowseach = 500;
    pid_t children[2];
    for (int w = 0; w < 2; ++w) {
        children[w] = ::fork();
        ASSERT_GE(children[w], 0);
        if (children[w] == 0) {
            ReadingReport r{"t",  w + 1, "dev", "copote", 51, std::string(56, '7'),
                            true, "",    "",    "",       ""};
            for (int i = 0; i < rowseach; ++i) {
                // Long rows, so that a row written in pieces would interleave.
                r.sent = std::to_string(i) + std::string(8000, static_cast<char>('a' + w));
                if (!appendjournal(journal, r).empty()) ::_exit(1);
            }
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string text = slurp(journal);
    ASSERT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    const auto rows = parsecsv(text.substr(3));
    ASSERT_EQ(rows.size(), 1u + 2 * rowseach);
    EXPECT_EQ(rows[0], header);
    std::map<std::string, int> perwriter;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), header.size()) << "row " << i;
        const std::string& sent = rows[i][14];
        const char fill = rows[i][1] == "1" ? 'a' : 'b';
        ASSERT_EQ(sent.substr(sent.size() - 8000), std::string(8000, fill)) << "row " << i;
        ++perwriter[rows[i][1]];
    }
    EXPECT_EQ(perwriter, (std::map<std::string, int>{{"1", rowseach}, {"2", rowseach}}));

}

// A journal that cannot be written says why, in words that name the cause, and a file that is
// not a journal of ours is left exactly as it was.
TEST(ReadingReport, JournalNotWritable_SaysWhyAndLeavesTheFileAlone) {
    TempDir dir;
    const std::string here = dir.path.string();
    std::ofstream(here + "/notes.txt", std::ios::binary) << "shopping list\r\n";
    std::ofstream(here + "/bom-only.csv", std::ios::binary) << "\xEF\xBB\xBF";
    std::ofstream(here + "/ro.csv", std::ios::binary) << "";
    std::filesystem::permissions(here + "/ro.csv", std::filesystem::perms::owner_read);
    ::mkfifo((here + "/fifo").c_str(), 0600);
    const bool root = ::geteuid() == 0; // may write where others may not
    const struct {
        std::string path;
        const char* english; // after "cannot open the journal PATH: "; none: refused as not ours
        const char* chinese;
    } places[] = {
        {here + "/missing/j.csv", "the folder does not exist", "文件夹不存在"},
        {here, "it is a folder, not a file", "它是文件夹，不是文件"},
        {here + "/notes.txt/j.csv", "a part of the path is not a folder", "不是文件夹"},
        {"/proc/meterreader-journal.csv", "no file can be created in that folder", "不能建立文件"},
        {here + "/fifo", "it is not an ordinary file (a device or a pipe)", "不是普通文件"},
        {"/dev/null", "it is not an ordinary file (a device or a pipe)", "不是普通文件"},
        {here + "/ro.csv", root ? nullptr : "permission denied", "没有权限"},
        {here + "/notes.txt", nullptr, "不是本程序的日志"},
        {here + "/bom-only.csv", nullptr, "不是本程序的日志"},
        {"/proc/version", nullptr, "不是本程序的日志"},
    };
    for (const auto& c : places) {
        if (!c.english && c.path == here + "/ro.csv") continue;
        const bool file = std::filesystem::is_regular_file(c.path);
        const std::string before = file ? slurp(c.path) : "";
        const Reason why = appendjournal(c.path, cases()[0].report);
        EXPECT_EQ(why.english(),
                  c.english ? "cannot open the journal " + c.path + ": " + c.english
                            : c.path + " is not a journal of this program (it does not begin "
                                       "with the journal's header); nothing was added to it")
            << c.path;
        EXPECT_NE(why.text(Language::zh).find(c.chinese), std::string::npos)
            << why.text(Language::zh);
        if (file) {
            EXPECT_EQ(slurp(c.path), before) << c.path;
        }
    }
}

// A journal begun before reason_code or verified keeps its columns; any other gets them all.
TEST(ReadingReport, JournalOfTheOldColumns_KeepsThem) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string oldhead = "\"time\",\"port\",\"device\",\"type\",\"code\",\"total\",\"used\","
                                "\"unused\",\"pieces\",\"head\",\"record\",\"end\",\"status\","
                                "\"reason\",\"sent\",\"received\"\r\n";
    const std::string oldrow = "\"t0\",1,\"COM1\",\"copote\",51,\"\",\"\",\"\",\"\",\"\",\"\","
                               "\"failure\",\"failed\",\"old\",\"\",\"\"\r\n";
    const std::string codehead = oldhead.substr(0, oldhead.size() - 2) + ",\"reason_code\"\r\n";
    const std::string coderow = oldrow.substr(0, oldrow.size() - 2) + ",\"no_reply\"\r\n";
    const struct {
        const char* name;
        std::string before; // the journal's text before the appends; none: no file
        const std::vector<std::string>& columns;
    } journals[] = {
        {"new", "", header},
        {"old", bom + oldhead + oldrow, oldheader},
        {"old header only", bom + oldhead, oldheader},
        {"old header without its byte order mark", oldhead + oldrow, oldheader},
        {"with reason_code", bom + codehead + coderow, codeheader},
    };
    const Case reading = cases()[5];
    for (const auto& j : journals) {
        TempDir dir;
        const std::string path = (dir.path / "journal.csv").string();
        if (!j.before.empty()) std::ofstream(path, std::ios::binary) << j.before;
        for (int i = 0; i < 2; ++i)
            ASSERT_TRUE(appendjournal(path, reading.report).empty()) << j.name;
        const std::string text = slurp(path);
        ASSERT_EQ(text.substr(0, j.before.size()), j.before) << j.name;
        const auto rows = parsecsv(text.substr(j.before.empty() ? 3 : j.before.size()));
        std::size_t first = 0;
        if (j.before.empty()) {
            EXPECT_EQ(rows.at(first++), header);
        }
        ASSERT_EQ(rows.size(), first + 2) << j.name;
        const std::vector<std::string> want(reading.fields.begin(),
                                            reading.fields.begin() +
                                                static_cast<std::ptrdiff_t>(j.columns.size()));
        EXPECT_EQ(rows[first], want) << j.name;
        EXPECT_EQ(rows[first + 1], want) << j.name;
    }
}

#endif

} // namespace
} // namespace meter
