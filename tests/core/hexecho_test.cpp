// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/hexecho.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

TEST(HexEcho, EachByte_BlankAndCapitalHexNoLeadingZero) {
    struct Case {
        Bytes bytes;
        const char* echo;
    } cases[] = {
        {{0}, " 0"},
        {{10}, " A"},
        {{254}, " FE"},
        {{1}, " 1"},
        {{0x0F, 0x10, 0xFF}, " F 10 FF"},
        {{2, 10, 255}, " 2 A FF"},
        {{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hexecho(c.bytes), c.echo);
}

TEST(HexEcho, EveryByteValue_RoundTrips) {
    for (int v = 0; v < 256; ++v) {
        const std::string e = hexecho(static_cast<std::uint8_t>(v));
        ASSERT_EQ(e[0], ' ');
        EXPECT_EQ(std::stoi(e.substr(1), nullptr, 16), v);
        EXPECT_EQ(e.size(), v < 16 ? 2u : 3u);
        EXPECT_EQ(hexpair(static_cast<std::uint8_t>(v)).size(), 2u);
    }
}

} // namespace
} // namespace meter
