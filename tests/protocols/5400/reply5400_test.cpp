// SPDX-License-Identifier: GPL-3.0-or-later
// 5400 replies: decoding by step and machine type, and finding, joining and bounding replies in
// the blocks read from the line.
#include "protocols/5400/reply5400.h"

#include "protocols/5400/request5400.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace meter {
namespace {

// The scale of the two 5400 types: the five-head meter (13) keeps tens.
PostageScale scaleof(int code) {
    return code == 13 ? PostageScale::tens : PostageScale::units;
}

// A reply with the header, filler where nothing is examined, and `value` from position 8 on.
Bytes reply(Bytes value, std::uint8_t filler = 0x00) {
    value.insert(value.begin(), {0x63, 0x63, 0xFE, filler, filler, filler, 0x81, filler});
    return value;
}
Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(Parse5400, EachStepAndType_DecodesIntoReceivedText) {
    const Bytes used = reply({0x90, 0x78, 0x56, 0x34, 0x12}, 0xAB);
    struct Case {
        const char* what;
        Bytes reply;
        std::int16_t step;
        std::int16_t code;
        std::string before;
        std::string after;
    } cases[] = {
        {"head replaces", reply({0x56, 0x34, 0x12}, 0xFF), 1, 12, "0000999999001234567890",
         "0000123456"},
        {"used, code 12", used, 2, 12, "0000123456", "0000123456001234567890"},
        {"used, code 13", used, 2, 13, "0000123456", "0000123456012345678900"},
        {"unused, code 12", used, 3, 12, "x", "x001234567890"},
        {"unused, code 13", used, 3, 13, "x", "x012345678900"},
        {"pieces", reply({0x78, 0x56, 0x34, 0x12, 0xEE}), 4, 12, "x", "x0012345678"},
        {"head bytes at step 2", join({reply({0x56, 0x34, 0x12}), Bytes{0, 0}}), 2, 12, "x",
         "x000000123456"},
        {"step 0", used, 0, 12, "x", "x"},
        {"step 5", used, 5, 13, "x", "x"},
        {"bytes behind the value", join({used, Bytes(88, 0xFF)}), 3, 12, "", "001234567890"},
    };
    for (const auto& c : cases) {
        std::string rxtext = c.before;
        EXPECT_TRUE(parse5400(c.reply, c.step, scaleof(c.code), rxtext).ok()) << c.what;
        EXPECT_EQ(rxtext, c.after) << c.what;
    }
}

TEST(Parse5400, NonBcdByteAtDecodedPosition_FaultAddsNothing) {
    struct Case {
        std::int16_t step;
        std::size_t position;
        bool fault;
    } cases[] = {
        {1, 8, true}, {1, 10, true}, {1, 11, false}, {2, 12, true},
        {3, 8, true}, {4, 11, true}, {4, 12, false}, {0, 8, false},
    };
    for (const auto& c : cases) {
        Bytes r = reply({0x11, 0x22, 0x33, 0x44, 0x55});
        r[c.position] = 0x1A;
        std::string rxtext = "0000123456";
        const Decoded d = parse5400(r, c.step, scaleof(12), rxtext);
        EXPECT_EQ(d.reason.english(), c.fault ? "reply byte 1A is not packed decimal" : "")
            << c.step << "@" << c.position;
        if (c.fault) {
            EXPECT_EQ(rxtext, "0000123456") << "a faulty reply adds nothing";
        }
    }
    std::string rxtext;
    EXPECT_EQ(parse5400(reply({0x11, 0x22}), 1, scaleof(12), rxtext).reason.english(),
              "a reply of 10 bytes is too short");
}

TEST(Reply5400, WorkedFields_BuiltIntoWrittenOutReplies) {
    struct Case {
        std::uint8_t code;
        const char* field;
        std::int16_t type;
        Bytes reply;
    } cases[] = {
        {0x0C,
         "0000123456",
         12,
         {0x63, 0x63, 0xFE, 0x01, 0x06, 0x0C, 0x81, 0x03, 0x56, 0x34, 0x12, 0x74, 0xC2}},
        {0x05,
         "001234567890",
         12,
         {0x63, 0x63, 0xFE, 0x01, 0x06, 0x05, 0x81, 0x05, 0x90, 0x78, 0x56, 0x34, 0x12, 0x0C,
          0xA7}},
        {0x05,
         "012345678900",
         13,
         {0x63, 0x63, 0xFE, 0x01, 0x06, 0x05, 0x81, 0x05, 0x90, 0x78, 0x56, 0x34, 0x12, 0x0C,
          0xA7}},
        {0x08,
         "0012345678",
         12,
         {0x63, 0x63, 0xFE, 0x01, 0x06, 0x08, 0x81, 0x04, 0x78, 0x56, 0x34, 0x12, 0xA4, 0x2D}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(buildreply5400(c.code, meterdigits5400(c.code, c.field, scaleof(c.type))),
                  c.reply)
            << int(c.code) << " " << c.type;
}

TEST(Reply5400, RandomRegisterValues_RoundTripThroughReader) {
    struct Register {
        const char* name;
        std::int16_t step;
        std::size_t width; // of the field in the record
    } registers[] = {{"表头", 1, 10}, {"已用邮资", 2, 12}, {"未用邮资", 3, 12}, {"总件数", 4, 10}};
    std::mt19937 random(5400);
    std::uniform_int_distribution<int> digit(0, 9);
    for (int round = 0; round < 200; ++round)
        for (std::int16_t type : {12, 13})
            for (const Register& r : registers) {
                // The meter keeps six head digits, eight piece digits and ten postage digits,
                // of tens for type 13: the record's field has zeros where the meter has none.
                std::string field(r.width, '0');
                const std::size_t from = r.step == 1 ? 4 : r.step == 4 ? 2 : 2 - (type == 13);
                const std::size_t to = r.step == 2 || r.step == 3 ? from + 10 : r.width;
                for (std::size_t i = from; i < to; ++i)
                    field[i] = static_cast<char>('0' + digit(random));
                const std::uint8_t code = registercode(r.name);
                const Bytes reply =
                    buildreply5400(code, meterdigits5400(code, field, scaleof(type)));
                Scanner5400 scanner;
                const auto taken = scanner.feed(reply, r.step);
                ASSERT_TRUE(taken) << r.name;
                std::string rxtext;
                parse5400(taken->bytes, r.step, scaleof(type), rxtext);
                ASSERT_EQ(rxtext, field) << r.name << " " << type;
            }
}

// A reply as "step:bytes".
std::string line(std::int16_t step, const Bytes& bytes) {
    std::string l = std::to_string(step) + ":";
    for (std::uint8_t byte : bytes)
        l += std::to_string(byte) + " ";
    return l;
}
// Feeds blocks at step 2; the replies completed.
std::vector<std::string> scan(Scanner5400& s, const std::vector<Bytes>& blocks) {
    std::vector<std::string> out;
    for (const Bytes& b : blocks)
        if (auto r = s.feed(b, 2)) out.push_back(line(r->step, r->bytes));
    return out;
}

TEST(Scanner5400, BlockWithNoiseOrSeveralReplies_FirstReplyFound) {
    const Bytes used = reply({0x90, 0x78, 0x56, 0x34, 0x12});
    const Bytes other = reply({0x01, 0x02, 0x03, 0x04, 0x05});
    struct Case {
        const char* what;
        std::vector<Bytes> blocks;
        std::vector<std::string> replies;
    } cases[] = {
        {"empty blocks", {{}, {}}, {}},
        {"no header", {{0x63, 0x63, 0xFE, 0, 0, 0, 0x80, 0x63, 0x00, 0x55}}, {}},
        {"bytes before the header", {join({Bytes{0x55, 0x63, 0x63}, used})}, {line(2, used)}},
        {"two replies: the second rides behind the first",
         {join({used, other})},
         {line(2, join({used, other}))}},
        {"a reply per block", {used, other}, {line(2, used), line(2, other)}},
        {"63 63 63 FE: the header starts at the second 63",
         {join({Bytes{0x63}, used})},
         {line(2, used)}},
    };
    for (const auto& c : cases) {
        Scanner5400 s;
        EXPECT_EQ(scan(s, c.blocks), c.replies) << c.what;
        EXPECT_FALSE(s.holding()) << c.what;
    }
}

TEST(Scanner5400, HeaderCutAtEndOfBlock_KeptForTheNextBlock) {
    const Bytes head = reply({0x56, 0x34, 0x12});
    struct Case {
        const char* what;
        Bytes end; // the block ends in these
        Bytes next;
        bool reply;
    } cases[] = {
        {"63 then the rest", {0x63}, Bytes(head.begin() + 1, head.end()), true},
        {"63 63 then the rest", {0x63, 0x63}, Bytes(head.begin() + 2, head.end()), true},
        {"63 63 FE x x x then the rest", Bytes(head.begin(), head.begin() + 6),
         Bytes(head.begin() + 6, head.end()), true},
        {"63 then no header", {0x63}, {0x64, 0x63, 0xFE, 0, 0, 0, 0x81, 0, 1, 2, 3}, false},
        {"63 63 FE x x x then no 81",
         Bytes(head.begin(), head.begin() + 6),
         {0x80, 0, 1, 2, 3},
         false},
        {"63 63 FE x x then 63 63 FE",
         {0x63, 0x63, 0xFE, 0x00, 0x63},
         Bytes{0x63, 0xFE, 0x00, 0x00, 0x00, 0x81, 0x00, 0x56, 0x34, 0x12},
         true},
    };
    for (const auto& c : cases) {
        Scanner5400 s;
        EXPECT_FALSE(s.feed(join({Bytes{0x01, 0x02}, c.end}), 1)) << c.what;
        EXPECT_TRUE(s.holding()) << c.what;
        const auto r = s.feed(c.next, 1);
        EXPECT_EQ(r.has_value(), c.reply) << c.what;
        if (r) {
            std::string rxtext;
            parse5400(r->bytes, r->step, scaleof(12), rxtext);
            EXPECT_EQ(rxtext, "0000123456") << c.what;
        }
    }
}

TEST(Scanner5400, ReplyCompletedAtLaterStep_KeepsItsHeadersStep) {
    const Bytes head = reply({0x56, 0x34, 0x12});
    Scanner5400 s;
    EXPECT_FALSE(s.feed(Bytes(head.begin(), head.begin() + 9), 1));
    EXPECT_TRUE(s.inreply());
    const auto r = s.feed(Bytes(head.begin() + 9, head.end()), 2);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->step, 1);
    EXPECT_EQ(r->bytes, head);
}

TEST(Scanner5400, ReplyOneByteShortOfItsStep_HeldBack) {
    const Bytes value{0x90, 0x78, 0x56, 0x34, 0x12};
    struct Case {
        std::int16_t step;
        std::size_t needs; // reply positions the step decodes, counted from the header
        std::string rxtext;
    } cases[] = {
        {1, 11, "0000567890"},
        {2, 13, "001234567890"},
        {3, 13, "001234567890"},
        {4, 12, "0034567890"},
        {0, 7, ""},
    };
    for (const auto& c : cases) {
        const Bytes whole = reply(value);
        const Bytes shorter(whole.begin(), whole.begin() + static_cast<long>(c.needs) - 1);
        std::string rxtext;
        if (c.needs > 7) {
            EXPECT_FALSE(parse5400(shorter, c.step, scaleof(12), rxtext).ok()) << c.step;
        }
        Scanner5400 s;
        EXPECT_FALSE(s.feed(shorter, c.step)) << c.step;
        EXPECT_EQ(s.inreply(), c.needs > 7) << c.step;
        const auto r = s.feed(Bytes{whole[c.needs - 1]}, c.step);
        ASSERT_TRUE(r) << c.step;
        EXPECT_EQ(r->bytes.size(), c.needs);
        parse5400(r->bytes, r->step, scaleof(12), rxtext);
        EXPECT_EQ(rxtext, c.rxtext) << c.step;
    }
}

TEST(Scanner5400, ReplyPast100BytesAfterHeader_Fault) {
    const Bytes used = reply({0x90, 0x78, 0x56, 0x34, 0x12});
    struct Case {
        std::size_t first; // bytes of the reply in the first block (whole reply when 0)
        std::size_t after; // bytes behind the reply in the block that completes it
        bool fault;
    } cases[] = {{0, 100 - 12, false}, {0, 101 - 12, true}, {5, 101 - 12, true},
                 {5, 100 - 12, false}, {12, 88, false},     {12, 89, true}};
    for (const auto& c : cases) {
        Scanner5400 s;
        Bytes rest = join({used, Bytes(c.after, 0x63)});
        if (c.first > 0) {
            EXPECT_FALSE(s.feed(Bytes(used.begin(), used.begin() + c.first), 2));
            rest.erase(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(c.first));
        }
        const auto r = s.feed(rest, 2);
        ASSERT_TRUE(r) << c.first << "+" << c.after;
        EXPECT_EQ(r->bytes.size(), 13 + c.after);
        EXPECT_EQ(r->fault.empty(), !c.fault) << c.first << "+" << c.after;
    }
}

} // namespace
} // namespace meter
