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
        {std::string(30, '7'),
         {std::string(12, '7'), std::string(12, '7'), "777777", "", std::string(10, '7')}},
        {"12345", {"12345", "", "", "", "12345"}},
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
