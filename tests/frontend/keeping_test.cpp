// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/keeping.h"

#include "core/utf8path.h"
#include "frontend/journal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace meter {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct TempDir {
    fs::path path = fs::temp_directory_path() /
                    ("keeping_test_" +
                     std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_读数");
    TempDir() {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path / "ro.txt", fs::perms::owner_all, ec);
        fs::remove_all(path, ec);
    }
    std::string operator/(const char* name) const { return utf8of(path / utf8path(name)); }
};

ReadingReport reading() {
    ReadingReport r;
    r.time = "2026-12-07T15:10:08+08:00";
    r.port = 1;
    r.device = "/dev/pts/3";
    r.typetext = "5400(5表头)";
    r.code = 13;
    r.record = "00000123456700000098760000000123456000000302000012345678";
    r.demo = true;
    return r;
}

Capture capture() {
    Capture c;
    c.header.program = "1.0";
    c.header.typetext = "copote";
    c.header.code = 51;
    c.header.device = "demo";
    c.header.demo = true;
    return c;
}

// What stands at a path before one of the keepers writes there, and what each must do with it:
// a capture, a saved reading and a report replace only a regular file that may be written (a
// capture from the command line only a capture); anything else stays exactly as it was, and
// the failure names its cause.
TEST(Keeping, NothingButARegularFileIsReplaced_AndOnlyACaptureByACapture) {
    TempDir dir;
    std::ofstream(utf8path(dir / "notes.txt"), std::ios::binary) << "shopping list\n";
    std::ofstream(utf8path(dir / "old.jsonl"), std::ios::binary)
        << "{\"format\":\"meterreader-capture\",\"version\":1}\n";
    std::ofstream(utf8path(dir / "ro.txt"), std::ios::binary) << "keep me";
    fs::permissions(utf8path(dir / "ro.txt"), fs::perms::owner_read);
    std::ofstream(utf8path(dir / "empty.jsonl"), std::ios::binary);
    fs::create_directory(utf8path(dir / "folder"));
#ifndef _WIN32
    ::mkfifo((dir / "fifo").c_str(), 0600);
#endif
    using Keeper = std::function<Reason(const std::string&)>;
    const struct {
        const char* name;
        Keeper keep;
        const char* failure; // the words before ": <cause>"
    } keepers[] = {
        {"capture, command line",
         [](const std::string& p) { return keepcapture(p, capture(), Replace::ownkind); },
         "cannot write the capture "},
        {"capture, window",
         [](const std::string& p) { return keepcapture(p, capture(), Replace::asked); },
         "cannot write the capture "},
        {"saved reading", [](const std::string& p) { return savereading(p, reading()); },
         "cannot write "},
        {"report", [](const std::string& p) { return savereport(p, "%PDF-1.4"); },
         "cannot write "},
    };
    const struct {
        std::string path;
        const char* cause;        // none: written
        const char* fromcommandline = "same"; // the cause for a capture from the command line
    } places[] = {
        {dir / "new.json", nullptr},
        {dir / "old.jsonl", nullptr},
        {dir / "empty.jsonl", nullptr},
        {dir / "notes.txt", nullptr, "it is not a capture of this program; it was left as it is"},
        {dir / "ro.txt", "the file is marked read-only",
         "it is not a capture of this program; it was left as it is"},
        {dir / "folder", "it is a folder, not a file"},
        {dir / "missing/x.json", "the folder does not exist"},
#ifndef _WIN32
        {dir / "fifo", "it is not an ordinary file (a device or a pipe)"},
        {"/dev/null", "it is not an ordinary file (a device or a pipe)"},
#endif
    };
    for (const auto& k : keepers)
        for (const auto& p : places) {
            const bool regular = fs::is_regular_file(utf8path(p.path));
            const std::string before = regular ? slurp(utf8path(p.path)) : "";
            const bool commandline = std::string(k.name) == "capture, command line";
            const char* cause =
                commandline && std::string(p.fromcommandline) != "same" ? p.fromcommandline
                                                                        : p.cause;
            const Reason why = k.keep(p.path);
            SCOPED_TRACE(std::string(k.name) + " at " + p.path);
            if (!cause) {
                EXPECT_EQ(why.english(), "");
                EXPECT_TRUE(fs::is_regular_file(utf8path(p.path)));
                continue;
            }
            EXPECT_EQ(why.english(), k.failure + p.path + ": " + cause);
            if (regular) {
                EXPECT_EQ(slurp(utf8path(p.path)), before);
            } else {
                EXPECT_FALSE(fs::is_regular_file(utf8path(p.path)));
            }
        }
    // Nothing is left behind but the files themselves.
    for (const auto& e : fs::directory_iterator(dir.path))
        EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
    // The JSON of a saved reading is the reading's one JSON object.
    ASSERT_EQ(savereading(dir / "saved.JSON", reading()).english(), "");
    EXPECT_EQ(slurp(utf8path(dir / "saved.JSON")), jsontext(reading()));
}

// The program's own default journal gets its folder; a folder the user named is never made.
TEST(Keeping, JournalFolder_MadeOnlyForTheProgramsOwnPlace) {
    TempDir dir;
    const std::string own = dir / "own/deeper/journal.csv";
    const std::string named = dir / "named/journal.csv";
    EXPECT_EQ(keepjournal(named, reading(), own).english(),
              "cannot open the journal " + named + ": the folder does not exist");
    EXPECT_FALSE(fs::exists(utf8path(dir / "named")));
    EXPECT_EQ(keepjournal(named, reading()).english(),
              "cannot open the journal " + named + ": the folder does not exist");
    EXPECT_EQ(keepjournal(own, reading(), own).english(), "");
    EXPECT_EQ(slurp(utf8path(own)), csvfile(reading()));
}

} // namespace
} // namespace meter
