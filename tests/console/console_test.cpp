// SPDX-License-Identifier: GPL-3.0-or-later
// Windows only: the command line as the system gives it (UTF-16) to the UTF-8 arguments the
// program works with.
#include "console/console.h"

#include <gtest/gtest.h>

namespace meter::console {
namespace {

TEST(Console, CommandLine_GivesUtf8ArgumentsWhateverTheCodePage) {
    const struct {
        const wchar_t* line;
        std::vector<std::string> args;
    } cases[] = {
        {L"meterread.exe --type \"高速机\"", {"meterread.exe", "--type", "高速机"}},
        {L"m --type 5400(4表头) --type=neopost", {"m", "--type", "5400(4表头)", "--type=neopost"}},
        {L"\"C:\\读数 1\\meterread.exe\" --journal \"C:\\读数\\日志.csv\"",
         {"C:\\读数 1\\meterread.exe", "--journal", "C:\\读数\\日志.csv"}},
        // The system's quoting rules: an escaped quote, an empty argument, backslashes.
        {L"m \"a\\\"b\" \"\" \\\\.\\COM12", {"m", "a\"b", "", "\\\\.\\COM12"}},
        // A character beyond the first plane is a surrogate pair; a lone half is U+FFFD.
        {L"m \U0001F4EE \xD800", {"m", "\xF0\x9F\x93\xAE", "\xEF\xBF\xBD"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitcommandline(c.line), c.args) << utf8(c.line);
}

TEST(Console, Conversion_RoundTripsAndReplacesWhatIsMalformed) {
    const struct {
        std::string utf8;
        std::wstring utf16;
        std::string back;
    } cases[] = {
        {"", L"", ""},
        {"总邮资：000002111050", L"总邮资：000002111050", "总邮资：000002111050"},
        {"a\xFF"
         "b",
         L"a\xFFFD"
         L"b",
         "a\xEF\xBF\xBD"
         "b"},
        {"\xE6\x80", L"\xFFFD", "\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(utf8(utf16(c.utf8)), c.back) << c.utf8;
    }
}

} // namespace
} // namespace meter::console
