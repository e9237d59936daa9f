// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/recordview.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

TEST(RecordView, RecordOfAnyLength_FieldsCutByPosition) {
    const std::string r56 = "000001234567000000987600000001234560000003020000"
                            "12345678";
    std::string r60;
    for (int i = 1; i <= 60; ++i)
        r60 += static_cast<char>('A' + (i - 1) % 26);
    struct Case {
        std::string record;
        RecordFields fields;
    } cases[] = {
        {r56, {"000001234567", "000000987600", "000001234560", "0000030200", "0012345678"}},
        {r60,
         {r60.substr(0, 12), r60.substr(12, 12), r60.substr(24, 12), r60.substr(36, 10),
          r60.substr(50, 10)}},
        // Cut short: the head is not the last ten (a line lost after the used postage or the
        // piece count), but its own place, empty or partial.
        {std::string(30, '7'), {std::string(12, '7'), std::string(12, '7'), "777777", "", ""}},
        {r56.substr(0, 24), {"000001234567", "000000987600", "", "", ""}},
        {r56.substr(0, 46), {"000001234567", "000000987600", "000001234560", "0000030200", ""}},
        {r56.substr(0, 50), {"000001234567", "000000987600", "000001234560", "0000030200", "0012"}},
        {r56.substr(0, 55),
         {"000001234567", "000000987600", "000001234560", "0000030200", "001234567"}},
        {"12345", {"12345", "", "", "", ""}},
        {"", {"", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        const RecordFields f = cutrecord(c.record);
        EXPECT_EQ(f.total, c.fields.total) << c.record;
        EXPECT_EQ(f.used, c.fields.used) << c.record;
        EXPECT_EQ(f.unused, c.fields.unused) << c.record;
        EXPECT_EQ(f.pieces, c.fields.pieces) << c.record;
        EXPECT_EQ(f.head, c.fields.head) << c.record;
    }
}

} // namespace
} // namespace meter
