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

TEST(HexPairs, AnyBytes_RoundTripAndOnlyCapitalPairsParse) {
    std::string every;
    for (int v = 0; v < 256; ++v)
        every += static_cast<char>(v);
    for (const std::string& bytes : {std::string(), std::string("\0\n", 2), every}) {
        const std::string hex = hexpairs(bytes);
        EXPECT_EQ(hex.size(), 2 * bytes.size());
        EXPECT_EQ(fromhexpairs(hex), bytes);
    }
    EXPECT_EQ(hexpairs("\x01\xFF"), "01FF");
    for (const char* bad : {"0", "0G", "ab", "0A ", " 0A", "-1"})
        EXPECT_FALSE(fromhexpairs(bad)) << bad;
}

} // namespace
} // namespace meter
