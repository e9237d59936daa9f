// SPDX-License-Identifier: GPL-3.0-or-later
// Windows only: the journal and a saved reading under any folder name, through the wide calls.
#include "core/utf8path.h"
#include "frontend/journal.h"
#include "frontend/keeping.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace meter {
namespace {

namespace fs = std::filesystem;

TEST(ReadingReportWin32, ChinesePaths_WrittenUnderTheirOwnNames) {
    const fs::path dir = fs::temp_directory_path() / utf8path("读数 日志");
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string folder = utf8of(dir);
    const ReadingReport r{"t", 1, "COM1", "高速机", 31, std::string(56, '7'), true, "", "", "", ""};
    std::ofstream(utf8path(folder + "\\备忘.txt"), std::ios::binary) << "shopping list\r\n";
    struct Case {
        std::string path;
        std::string error; // what the reason says after the path; empty: written
    } cases[] = {
        {folder + "\\日志.csv", ""},
        {folder + "\\日志.csv", ""}, // appended to, its header judged by reading it
        {folder + "\\备忘.txt", " is not a journal of this program (it does not begin with the "
                                "journal's header); nothing was added to it"},
        {folder + "\\没有\\日志.csv", ": the folder does not exist"},
        {folder, ": it is a folder, not a file"},
    };
    for (const Case& c : cases) {
        const std::string error = appendjournal(c.path, r).english();
        if (!c.error.empty()) {
            EXPECT_EQ(error,
                      (c.error[0] == ':' ? "cannot open the journal " : "") + c.path + c.error);
            continue;
        }
        EXPECT_EQ(error, "");
        std::ifstream in(utf8path(c.path), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        EXPECT_EQ(text.str().substr(0, 3), "\xEF\xBB\xBF") << c.path;
        EXPECT_NE(text.str().find("高速机"), std::string::npos);
        EXPECT_EQ(text.str().find("\"time\"", 10), std::string::npos) << "one header";
    }
    {
        std::ifstream notes(utf8path(folder + "\\备忘.txt"), std::ios::binary);
        std::ostringstream kept;
        kept << notes.rdbuf();
        EXPECT_EQ(kept.str(), "shopping list\r\n");
    }
    EXPECT_TRUE(savereading(folder + "\\读数.json", r).empty());
    EXPECT_TRUE(fs::is_regular_file(dir / utf8path("读数.json")));
    fs::remove_all(dir);
}

} // namespace
} // namespace meter
