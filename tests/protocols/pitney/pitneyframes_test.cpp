// Pitney frames without a line: requests and their check bytes, the format byte, stuffed
// packed decimal, the record fields, and cutting frames out of polls.
#include "core/metererror.h"
#include "protocols/pitney/pitney.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

PitneyFrame frame(std::initializer_list<std::uint8_t> bytes) {
    PitneyFrame f{};
    std::copy(bytes.begin(), bytes.end(), f.begin());
    return f;
}

struct Target {
    std::string rxtext;
    std::string regrecord = std::string(56, '0');
    std::array<std::uint8_t, 6> replyflags{};
    void parse(ByteView f) { parsepitney(f, {rxtext, regrecord, replyflags}); }
};

TEST(PitneyRequest, EveryRegisterWithBothToggles) {
    struct Case {
        const char* name;
        std::uint8_t toggle, command, c0, c1;
    } cases[] = {
        {"表头", 0x21, 0x5C, 0xE3, 0x9E},     {"表头", 0xA1, 0x5C, 0x62, 0x9F},
        {"总邮资", 0x21, 0x54, 0xF3, 0x96},   {"总邮资", 0xA1, 0x54, 0x72, 0x97},
        {"未用邮资", 0x21, 0x53, 0xF5, 0x95}, {"未用邮资", 0xA1, 0x53, 0x74, 0x96},
        {"已用邮资", 0x21, 0x52, 0xF7, 0x94}, {"已用邮资", 0xA1, 0x52, 0x76, 0x95},
        {"总件数", 0x21, 0x55, 0xF1, 0x97},   {"总件数", 0xA1, 0x55, 0x70, 0x98},
        {"总邮资 ", 0x21, 0x00, 0x00, 0x00},  {"", 0xA1, 0x00, 0x00, 0x00},
    };
    for (const auto& c : cases) {
        const PitneyRequest r = pitneyrequest(c.toggle, c.name);
        EXPECT_EQ(r, (PitneyRequest{0x02, c.toggle, c.command, c.c0, c.c1, 0x03, 0, 0, 0, 0, 0}))
            << c.name << " " << int(c.toggle);
        if (c.command == 0) continue;
        // Both Fletcher sums over toggle, command and the two check bytes come out zero.
        unsigned s1 = 0, s2 = 0;
        for (std::size_t i = 1; i <= 4; ++i) {
            s1 = (s1 + r[i]) % 255;
            s2 = (s2 + s1) % 255;
        }
        EXPECT_EQ(s1 + s2, 0u) << c.name;
    }
    for (auto [from, to] : {std::pair<std::uint8_t, std::uint8_t>{0xA1, 0x21},
                            {0x21, 0xA1},
                            {0x00, 0x21},
                            {0x20, 0x21},
                            {0xFF, 0x21}})
        EXPECT_EQ(pitneynexttoggle(from), to) << int(from);
}

TEST(PitneyDecode, FormatByteIsReadFromItsHexadecimalText) {
    struct Case {
        std::uint8_t byte;
        int digits, length;
        char decimals;
    } cases[] = {
        {0xA2, 10, 5, '2'}, {0x8F, 8, 4, 'F'}, {0x05, 5, 3, '5'},
        {0x12, 1, 1, '2'},  {0x00, 0, 0, '0'}, {0x0F, 15, 8, 'F'},
    };
    for (const auto& c : cases) {
        const PitneyFormat f = pitneyformat(c.byte);
        EXPECT_EQ(f.digits, c.digits) << int(c.byte);
        EXPECT_EQ(f.length, c.length) << int(c.byte);
        EXPECT_EQ(f.rawlength, 2 * c.length) << int(c.byte);
        EXPECT_EQ(f.decimals, c.decimals) << int(c.byte);
    }
}

TEST(PitneyDecode, StuffedPackedDecimal) {
    struct Case {
        Bytes work;
        int length;
        std::string digits; // what rxtext holds afterwards
        bool fault;
    } cases[] = {
        {{0x00, 0x10, 0x82, 0x10, 0x90, 0x10, 0x83, 0x99}, 5, "0002100399", false},
        {{0x10, 0x10, 0x90}, 1, "10", false}, // a stuffing byte after one stuffs again
        {{0x12}, 3, "120000", false},         // past the work buffer every byte is 0x00
        {{0x12, 0x1A, 0x34}, 3, "12", true},
        {{0x45, 0x10, 0x05}, 2, "45", true}, // escaped byte below 0x80
        {{0x10, 0x8B}, 1, "", true},         // escaped byte with a nibble above 9
    };
    for (const auto& c : cases) {
        std::string rx = "old";
        if (c.fault)
            EXPECT_THROW(decodedigits(c.work, c.length, rx), MeterError);
        else
            decodedigits(c.work, c.length, rx);
        EXPECT_EQ(rx, c.digits);
    }
}

TEST(PitneyDecode, FieldWidths) {
    for (auto [in, out] : {std::pair<const char*, const char*>{"12345", "0000012345"},
                           {"000123456789", "0123456789"},
                           {"00", "0000000000"},
                           {"", ""}})
        EXPECT_EQ(f10(in), out) << in;

    struct Money {
        const char* digits;
        char decimals;
        std::optional<std::string> field;
    } money[] = {
        {"0001234567", '2', "000001234567"}, {"0000009876", 'F', "000000987600"},
        {"0000123456", '1', "000001234560"}, {"123456789012", '2', "123456789012"},
        {"34", '2', "000000000034"},         {"0001234567", '3', std::nullopt},
    };
    for (const auto& m : money)
        EXPECT_EQ(moneyfield(m.digits, m.decimals), m.field) << m.digits << " " << m.decimals;
}

TEST(PitneyParse, TheFiveRepliesMakeTheRecord) {
    Target t;
    const std::pair<PitneyFrame, const char*> steps[] = {
        {frame({0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x5B, 0x0C, 0x03}),
         "0001234567"},
        {frame({0x02, 0xA1, 0x82, 0xAF, 0x00, 0x00, 0x00, 0x98, 0x76, 0x03}), "0000009876"},
        {frame({0x02, 0x21, 0x83, 0xA1, 0x00, 0x00, 0x12, 0x34, 0x56, 0x03}), "0000123456"},
        {frame({0x02, 0xA1, 0x85, 0x8F, 0x00, 0x10, 0x83, 0x10, 0x82, 0x00, 0x4E, 0x11, 0x03}),
         "00030200"},
        {frame({0x02, 0x21, 0x8C, 0xAF, 0x00, 0x12, 0x34, 0x56, 0x78, 0x03}), "0012345678"},
    };
    for (const auto& [f, rx] : steps) {
        t.parse(f);
        EXPECT_EQ(t.rxtext, rx);
    }
    const std::string record = "000001234567000000987600000001234560000003020000"
                               "12345678";
    EXPECT_EQ(t.regrecord, record);
    EXPECT_EQ(t.replyflags, (std::array<std::uint8_t, 6>{0, 1, 1, 1, 1, 1}));

    // A register counts once: the total again changes nothing.
    t.parse(frame({0x02, 0x21, 0x84, 0xA2, 0x00, 0x09, 0x99, 0x99, 0x99, 0x03}));
    EXPECT_EQ(t.rxtext, "0012345678");
    EXPECT_EQ(t.regrecord, record);
}

TEST(PitneyParse, HowEachReplyEntersTheRecord) {
    const std::string zeros(56, '0');
    struct Case {
        const char* what;
        std::string before;
        PitneyFrame reply;
        std::string after;
        std::size_t marker; // 0: no marker set
    } cases[] = {
        {"no STX", zeros, frame({0x03, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x03}), zeros, 0},
        {"a request echoed", zeros, frame({0x02, 0x21, 0x54, 0xF3, 0x96, 0x03}), zeros, 0},
        {"decimals code 3 empties the record", zeros,
         frame({0x02, 0x21, 0x84, 0xA3, 0x00, 0x01, 0x23, 0x45, 0x67, 0x03}), "", 1},
        {"a used postage before any total goes after the zeros", zeros,
         frame({0x02, 0x21, 0x82, 0xAF, 0x00, 0x00, 0x00, 0x98, 0x76, 0x03}),
         zeros + "000000987600", 2},
        {"format 05: no money field, but the marker", "x",
         frame({0x02, 0x21, 0x83, 0x05, 0x12, 0x34, 0x56, 0x03}), "x", 3},
        {"format 00: no digits, none made up", "x", frame({0x02, 0x21, 0x85, 0x00, 0x03}), "x", 4},
        {"format 12: cents only", "", frame({0x02, 0x21, 0x82, 0x12, 0x34, 0x03}), "000000000034",
         2},
        {"no ETX check: what follows a short value is read", "",
         frame({0x02, 0x21, 0x8C, 0xAF, 0x12, 0x03}), "1203000000", 5},
    };
    for (const auto& c : cases) {
        Target t;
        t.regrecord = c.before;
        t.parse(c.reply);
        EXPECT_EQ(t.regrecord, c.after) << c.what;
        std::array<std::uint8_t, 6> flags{};
        if (c.marker) flags[c.marker] = 1;
        EXPECT_EQ(t.replyflags, flags) << c.what;
    }

    // A byte that is not packed decimal: the record and the marker stay as they were.
    Target t;
    EXPECT_THROW(t.parse(frame({0x02, 0xA1, 0x82, 0xA2, 0x00, 0x1A, 0x00, 0x00, 0x00, 0x03})),
                 MeterError);
    EXPECT_EQ(t.regrecord, std::string(56, '0'));
    EXPECT_EQ(t.replyflags[2], 0);
    EXPECT_EQ(t.rxtext, "00");
}

TEST(PitneyCutter, FramesFromPolls) {
    const Bytes wire{0x06, 0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x5B, 0x0C, 0x03};
    const PitneyFrame reply =
        frame({0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x5B, 0x0C, 0x03});
    Bytes twice = wire;
    twice.insert(twice.end(), wire.begin(), wire.end());
    twice.push_back(0x02);
    struct Case {
        const char* what;
        std::vector<Bytes> polls;
        std::vector<std::vector<PitneyFrame>> frames;
    } cases[] = {
        {"a stray byte before the frame", {wire}, {{reply}}},
        {"two frames in one poll, both handed over", {twice}, {{reply, reply}}},
        {"an STX inside a frame is stored",
         {{0x02, 0x11, 0x02, 0x03}},
         {{frame({0x02, 0x11, 0x02, 0x03})}}},
        {"an open frame waits through empty polls",
         {Bytes(wire.begin(), wire.begin() + 5), {}, Bytes(wire.begin() + 5, wire.end())},
         {{}, {}, {reply}}},
    };
    for (const auto& c : cases) {
        PitneyCutter cutter;
        std::vector<std::vector<PitneyFrame>> got;
        for (const auto& p : c.polls)
            got.push_back(cutter.cut(p));
        EXPECT_EQ(got, c.frames) << c.what;
    }
}

TEST(PitneyCutter, AFrameHasAtMostOneHundredPositionsAfterItsStx) {
    Bytes full(101, 0x44);
    full.front() = 0x02;
    full.back() = 0x03;
    EXPECT_EQ(PitneyCutter().cut(full).size(), 1u);

    // One byte more, joined across two polls: a fault.
    Bytes over = full;
    over.back() = 0x44;
    over.push_back(0x03);
    PitneyCutter c;
    EXPECT_TRUE(c.cut(ByteView(over).first(60)).empty());
    EXPECT_EQ(c.count(), 59u);
    EXPECT_THROW(c.cut(ByteView(over).subspan(60)), MeterError);
}

} // namespace
} // namespace meter
