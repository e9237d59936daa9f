// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated 5400 meter: which requests it answers, and with which bytes, for both machine
// types and in auto mode.
#include "sim/meter.h"
#include "support/simwire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meter::sim {
namespace {

using testing::wire;

const Bytes head{0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x0C, 0xB2, 0x18, 0x00, 0x00};
const Bytes used{0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x05, 0x23, 0x31, 0x00, 0x00};
const Bytes unused{0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x06, 0x13, 0x52, 0x00, 0x00};
const Bytes pieces{0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x08, 0xF2, 0x9C, 0x00, 0x00};

Registers values() {
    Registers r;
    r.used = "001234567890";
    r.unused = "000000001000";
    r.pieces = "0012345678";
    r.head = "0000123456";
    return r;
}

// The reply up to its value: header, address, register code, 81, count, value bytes.
Bytes replyvalue(std::uint8_t code, Bytes value) {
    value.insert(value.begin(), {0x63, 0x63, 0xFE, 0x01, 0x06, code, 0x81,
                                 static_cast<std::uint8_t>(value.size())});
    return value;
}

TEST(Sim5400, RegisterRequest_AnsweredInPackedDecimalLowByteFirst) {
    struct Case {
        std::int16_t type;
        const Bytes& request;
        Bytes reply;
        const char* note;
    } cases[] = {
        {12, head, replyvalue(0x0C, {0x56, 0x34, 0x12}), "表头"},
        {12, used, replyvalue(0x05, {0x90, 0x78, 0x56, 0x34, 0x12}), "已用邮资"},
        {12, unused, replyvalue(0x06, {0x00, 0x10, 0x00, 0x00, 0x00}), "未用邮资"},
        {12, pieces, replyvalue(0x08, {0x78, 0x56, 0x34, 0x12}), "总件数"},
        {13, used, replyvalue(0x05, {0x89, 0x67, 0x45, 0x23, 0x01}), "已用邮资"},
        {13, unused, replyvalue(0x06, {0x00, 0x01, 0x00, 0x00, 0x00}), "未用邮资"},
        {13, pieces, replyvalue(0x08, {0x78, 0x56, 0x34, 0x12}), "总件数"},
        {0, used, replyvalue(0x05, {0x90, 0x78, 0x56, 0x34, 0x12}), "已用邮资"},
    };
    for (const auto& c : cases) {
        Meter m(values(), {}, c.type);
        const Bytes sent = wire(m.receive(c.request));
        ASSERT_EQ(sent.size(), c.reply.size() + 2) << c.note << ": the value and two check bytes";
        EXPECT_EQ(Bytes(sent.begin(), sent.end() - 2), c.reply) << c.type << " " << c.note;
        EXPECT_EQ(m.taken(), std::vector<std::string>{c.note});
    }
}

TEST(Sim5400, RequestNotByteExact_RejectedAndNextOneAnswered) {
    auto with = [](Bytes b, std::size_t at, std::uint8_t value) {
        b[at] = value;
        return b;
    };
    struct Case {
        const char* what;
        Bytes request;
        bool rejected; // false: not taken for a request at all
    } cases[] = {
        {"unknown register",
         {0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x00, 0x73, 0x94, 0x00, 0x00},
         true},
        {"CRC high byte", with(head, 7, 0xB3), true},
        {"CRC low byte", with(head, 8, 0x19), true},
        {"byte 9", with(head, 9, 0x01), true},
        {"byte 10", with(head, 10, 0xFF), true},
        {"fixed byte", with(head, 3, 0x08), false},
        {"start byte", with(head, 0, 0xFF), false},
    };
    for (const auto& c : cases) {
        Meter m(values(), {}, 12);
        EXPECT_TRUE(m.receive(c.request).empty()) << c.what;
        EXPECT_EQ(m.requests(), 0) << c.what;
        EXPECT_EQ(m.rejected().size(), c.rejected ? 1u : 0u) << c.what;
        EXPECT_FALSE(wire(m.receive(used)).empty()) << c.what << ": the next request is answered";
    }
}

} // namespace
} // namespace meter::sim
