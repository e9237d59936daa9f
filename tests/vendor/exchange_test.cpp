// SPDX-License-Identifier: GPL-3.0-or-later
#include "vendor/exchange.h"

#include <gtest/gtest.h>

namespace meter::copote {
namespace {

const std::string record = "00000211105000000123450000000087655000000043210000123456";

TEST(CopoteExchange, RequestAndReply_ExactFrameBytes) {
    EXPECT_EQ(request(), (Bytes{0x02, 0x43, 0x50, 0x52, 0x03}));
    const Bytes r = reply(record);
    ASSERT_EQ(r.size(), replylength);
    EXPECT_EQ(r.front(), 0x02);
    EXPECT_EQ(r[57], 0x03);
    EXPECT_EQ(r[58], 'D');
    EXPECT_EQ(r[59], '7');
}

TEST(CopoteExchange, MalformedOrShortReply_NotFoundGoodFoundInNoise) {
    const Bytes good = reply(record);
    auto with = [&](std::size_t at, std::uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    EXPECT_EQ(findreply(good)->record, record);
    EXPECT_FALSE(findreply(ByteView(good).first(59)));
    EXPECT_FALSE(findreply(with(10, 'A'))) << "a non-digit";
    EXPECT_FALSE(findreply(with(57, 0x04))) << "no ETX";
    EXPECT_FALSE(findreply(with(59, '8'))) << "a wrong check";
    EXPECT_FALSE(findreply(with(5, '9'))) << "a digit changed under its check";

    Bytes noisy{0x02, 0x02, 0x55};
    noisy.insert(noisy.end(), good.begin(), good.end());
    const auto found = findreply(noisy);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->record, record);
    EXPECT_EQ(found->end, noisy.size());
}

} // namespace
} // namespace meter::copote
