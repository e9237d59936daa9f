// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/machinetypes.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

TEST(MachineTypes, ListTexts_MapToCodesExactlyAndCaseSensitively) {
    const std::pair<const char*, std::int16_t> expected[] = {
        {"pitneybows 950", 21}, {"pitneybows spark", 22}, {"高速机", 31},      {"neopost", 11},
        {"copote", 51},         {"5400(4表头)", 12},      {"5400(5表头)", 13},
    };
    ASSERT_EQ(machinetypes().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_STREQ(machinetypes()[i].text, expected[i].first);
        EXPECT_EQ(codefor(expected[i].first), expected[i].second);
        EXPECT_EQ(textfor(expected[i].second), expected[i].first);
    }
    for (const char* other : {"Neopost", "neopost ", "", "5400", "COPOTE"})
        EXPECT_EQ(codefor(other), 0) << other;
}

} // namespace
} // namespace meter
