// SPDX-License-Identifier: GPL-3.0-or-later
// Windows only: text across the UTF-16 boundary and the system's error codes in a reason.
#include "core/win32text.h"

#include <gtest/gtest.h>

#include <string>

namespace meter {
namespace {

TEST(Win32Text, Utf8AndUtf16_RoundTripAnyCharacter) {
    for (const std::string text :
         {"", "COM12", "C:\\读数 工具\\cpedfm.dll", "总邮资：", "\xF0\x9F\x93\xAE"}) // U+1F4EE
        EXPECT_EQ(narrow(widen(text)), text);
    EXPECT_EQ(widen("读数"), std::wstring(L"\x8BFB\x6570"));
    // A byte that is no UTF-8 is replaced, not passed on as a character of the code page.
    EXPECT_EQ(narrow(widen("a\xFF")), "a\xEF\xBF\xBD");
}

TEST(Win32Text, ErrorCode_OurWordsOrTheSystemsUtf8MessageWithTheCode) {
    struct Case {
        unsigned long code;
        const char* text; // null: the system's message
    } cases[] = {
        {2, "the file does not exist (error 2)"},
        {3, "the folder does not exist (error 3)"},
        {5, "access is denied (error 5)"},
        {32, "another program is using it (error 32)"},
        {193, "it is not a program or library for this kind of Windows (error 193)"},
        {1460, nullptr}, // ERROR_TIMEOUT
        {0x7FFFFFFF, nullptr},
    };
    for (const Case& c : cases) {
        const Reason reason = win32error(c.code);
        const std::string text = reason.english();
        const std::string tail = " (error " + std::to_string(c.code) + ")";
        if (c.text) {
            EXPECT_EQ(text, c.text);
            EXPECT_EQ(reason.name().substr(0, 4), "win_") << c.code;
            continue;
        }
        // In UTF-8 (it survives the round trip), without the message's line break or full stop.
        // Where the system has no message either, "an unknown error".
        EXPECT_TRUE(reason.code() == ReasonCode::system_message_code ||
                    reason.code() == ReasonCode::win_unknown)
            << c.code;
        ASSERT_GE(text.size(), tail.size()) << c.code;
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
        EXPECT_EQ(narrow(widen(text)), text);
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
        EXPECT_NE(text.substr(0, text.size() - tail.size()).back(), '.') << text;
    }
}

} // namespace
} // namespace meter
