// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/digits.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

TEST(Digits, ShortOrLongDigits_PaddedOrCutAtTheFront) {
    struct Case {
        const char* digits;
        std::size_t width;
        const char* padded;
        const char* last;
    } cases[] = {
        {"", 3, "000", "000"},           {"12", 4, "0012", "0012"}, {"1234", 4, "1234", "1234"},
        {"123456", 4, "123456", "3456"}, {"7", 0, "7", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zeropad(c.digits, c.width), c.padded) << c.digits << " " << c.width;
        EXPECT_EQ(lastdigits(c.digits, c.width), c.last) << c.digits << " " << c.width;
    }
}

TEST(Digits, AnyDigits_PackedHighNibbleFirstLeadingZeroIfOdd) {
    struct Case {
        const char* digits;
        Bytes packed;
    } cases[] = {
        {"", {}},
        {"1234567890", {0x12, 0x34, 0x56, 0x78, 0x90}},
        {"123", {0x01, 0x23}},
        {"9x", {0x90}}, // anything but a digit packs as 0
    };
    for (const auto& c : cases)
        EXPECT_EQ(packbcd(c.digits), c.packed) << c.digits;
}

TEST(Digits, EveryByte_UnpacksToTwoDigitsOrNothing) {
    for (int v = 0; v < 256; ++v) {
        const auto pair = unpackbcd(static_cast<std::uint8_t>(v));
        const bool packed = (v >> 4) <= 9 && (v & 0x0F) <= 9;
        ASSERT_EQ(pair.has_value(), packed) << v;
        if (!packed) continue;
        EXPECT_EQ(*pair, std::to_string(v >> 4) + std::to_string(v & 0x0F));
        EXPECT_EQ(packbcd(*pair), Bytes{static_cast<std::uint8_t>(v)});
    }
}

} // namespace
} // namespace meter
