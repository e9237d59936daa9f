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

// The five replies of one reading and the record they make.
const PitneyFrame total =
    frame({0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x5B, 0x0C, 0x03});
const PitneyFrame used = frame({0x02, 0xA1, 0x82, 0xAF, 0x00, 0x00, 0x00, 0x98, 0x76, 0x03});
const PitneyFrame unused = frame({0x02, 0x21, 0x83, 0xA1, 0x00, 0x00, 0x12, 0x34, 0x56, 0x03});
const PitneyFrame pieces =
    frame({0x02, 0xA1, 0x85, 0x8F, 0x00, 0x10, 0x83, 0x10, 0x82, 0x00, 0x4E, 0x11, 0x03});
const PitneyFrame head = frame({0x02, 0x21, 0x8C, 0xAF, 0x00, 0x12, 0x34, 0x56, 0x78, 0x03});
const std::string record = "000001234567"
                           "000000987600"
                           "000001234560"
                           "0000030200"
                           "0012345678";

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
    };
    for (const auto& c : cases) {
        const PitneyRequest r = pitneyrequest(c.toggle, c.name);
        EXPECT_EQ(r, (PitneyRequest{0x02, c.toggle, c.command, c.c0, c.c1, 0x03, 0, 0, 0, 0, 0}))
            << c.name << " " << int(c.toggle);
        // Both Fletcher sums over toggle, command and the two check bytes come out zero.
        unsigned s1 = 0, s2 = 0;
        for (int i = 1; i <= 4; ++i) {
            s1 = (s1 + r[static_cast<std::size_t>(i)]) % 255;
            s2 = (s2 + s1) % 255;
        }
        EXPECT_EQ(s1, 0u) << c.name;
        EXPECT_EQ(s2, 0u) << c.name;
    }
}

TEST(PitneyRequest, ANameOutsideTheTableStillMakesAFrame) {
    for (const char* name : {"总邮资 ", "", "meter head", "总"})
        EXPECT_EQ(pitneyrequest(0xA1, name),
                  (PitneyRequest{0x02, 0xA1, 0, 0, 0, 0x03, 0, 0, 0, 0, 0}))
            << name;
}

TEST(PitneyRequest, ToggleAlternatesFromAnyStart) {
    const std::pair<std::uint8_t, std::uint8_t> cases[] = {
        {0xA1, 0x21}, {0x21, 0xA1}, {0x00, 0x21}, {0x20, 0x21}, {0xFF, 0x21}};
    for (auto [from, to] : cases)
        EXPECT_EQ(pitneynexttoggle(from), to) << int(from);
}

TEST(PitneyDecode, FormatByteIsReadFromItsHexadecimalText) {
    struct Case {
        std::uint8_t byte;
        int digits, rawlength, length;
        char decimals;
    } cases[] = {
        {0xA2, 10, 10, 5, '2'}, {0xAF, 10, 10, 5, 'F'}, {0x8F, 8, 8, 4, 'F'},
        {0x05, 5, 6, 3, '5'},   {0x12, 1, 2, 1, '2'},   {0x00, 0, 0, 0, '0'},
        {0x0F, 15, 16, 8, 'F'}, {0xC2, 12, 12, 6, '2'}, {0xFF, 15, 16, 8, 'F'},
    };
    for (const auto& c : cases) {
        const PitneyFormat f = pitneyformat(c.byte);
        EXPECT_EQ(f.digits, c.digits) << int(c.byte);
        EXPECT_EQ(f.rawlength, c.rawlength) << int(c.byte);
        EXPECT_EQ(f.length, c.length) << int(c.byte);
        EXPECT_EQ(f.decimals, c.decimals) << int(c.byte);
    }
}

TEST(PitneyDecode, StuffedPackedDecimal) {
    struct Case {
        Bytes work;
        int length;
        std::string digits;
    } cases[] = {
        {{0x00, 0x10, 0x82, 0x10, 0x90, 0x10, 0x83, 0x99}, 5, "0002100399"},
        {{0x00, 0x10, 0x83, 0x10, 0x82, 0x00, 0x4E, 0x11}, 4, "00030200"},
        {{0x00, 0x01, 0x23, 0x45, 0x67}, 5, "0001234567"},
        {{0x10, 0x10, 0x90}, 1, "10"}, // a stuffing byte after a stuffing byte stuffs again
        {{0x12, 0x34}, 0, ""},
        {{0x12}, 3, "120000"}, // past the work buffer every byte is 0x00
    };
    for (const auto& c : cases) {
        std::string rx = "old";
        decodedigits(c.work, c.length, rx);
        EXPECT_EQ(rx, c.digits);
    }
}

TEST(PitneyDecode, AByteThatIsNotPackedDecimalIsAFault) {
    struct Case {
        Bytes work;
        const char* before;
    } cases[] = {
        {{0x12, 0x1A, 0x34}, "12"}, {{0xA0}, ""},
        {{0x45, 0x10, 0x05}, "45"}, // escaped byte below 0x80
        {{0x10, 0x8B}, ""},         // escaped byte with a nibble above 9
        {{0x10, 0x10}, ""},         // the stuffing runs into the zeros beyond
    };
    for (const auto& c : cases) {
        std::string rx;
        EXPECT_THROW(decodedigits(c.work, 2, rx), MeterError);
        EXPECT_EQ(rx, c.before);
    }
}

TEST(PitneyDecode, FieldWidths) {
    const std::pair<const char*, const char*> tens[] = {
        {"0001234567", "0001234567"},
        {"12345", "0000012345"},
        {"000123456789", "0123456789"},
        {"00", "0000000000"},
        {"", ""},
        {"99999999999999", "99999999999999"},
    };
    for (auto [in, out] : tens)
        EXPECT_EQ(f10(in), out) << in;

    struct Money {
        const char* digits;
        char decimals;
        std::optional<std::string> field;
    } money[] = {
        {"0001234567", '2', "000001234567"},
        {"0000009876", 'F', "000000987600"},
        {"0000123456", '1', "000001234560"},
        {"123456789012", '2', "123456789012"},
        {"12", '2', "000000000012"},
        {"12", '1', "000000000120"},
        {"0001234567", '3', std::nullopt},
        {"0001234567", '0', std::nullopt},
        {"34", '2', "000000000034"},
        {"7", '1', "000000000070"},
        {"", '2', ""},
    };
    for (const auto& m : money)
        EXPECT_EQ(moneyfield(m.digits, m.decimals), m.field) << m.digits << " " << m.decimals;
}

TEST(PitneyParse, TheFiveRepliesMakeTheRecord) {
    Target t;
    const std::pair<const PitneyFrame*, const char*> steps[] = {
        {&total, "0001234567"}, {&used, "0000009876"}, {&unused, "0000123456"},
        {&pieces, "00030200"},  {&head, "0012345678"},
    };
    for (auto [f, rx] : steps) {
        t.parse(*f);
        EXPECT_EQ(t.rxtext, rx);
    }
    EXPECT_EQ(t.regrecord, record);
    EXPECT_EQ(t.replyflags, (std::array<std::uint8_t, 6>{0, 1, 1, 1, 1, 1}));

    // A register counts once: the total again changes nothing.
    t.parse(frame({0x02, 0x21, 0x84, 0xA2, 0x00, 0x09, 0x99, 0x99, 0x99, 0x03}));
    EXPECT_EQ(t.rxtext, "0012345678");
    EXPECT_EQ(t.regrecord, record);
}

TEST(PitneyParse, FramesThatAreNotRegisterReplies) {
    const PitneyFrame ignored[] = {
        frame({0x03, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x03}), // no STX
        frame({0x02, 0x21, 0x54, 0xF3, 0x96, 0x03}),                         // a request echoed
        frame({0x02, 0x21, 0x86, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x03}),
        frame({0x02, 0x21, 0x8D, 0xAF, 0xFF, 0xFF, 0x03}), // a bad value, but an unknown code
    };
    for (const auto& f : ignored) {
        Target t;
        t.parse(f);
        EXPECT_EQ(t.regrecord, std::string(56, '0'));
        EXPECT_EQ(t.rxtext, "");
        EXPECT_EQ(t.replyflags, (std::array<std::uint8_t, 6>{}));
    }
}

TEST(PitneyParse, HowEachFieldEntersTheRecord) {
    struct Case {
        const char* what;
        std::string before;
        PitneyFrame reply;
        std::string after;
        std::size_t marker;
    } cases[] = {
        {"a total with decimals code 3 empties the record", std::string(56, '0'),
         frame({0x02, 0x21, 0x84, 0xA3, 0x00, 0x01, 0x23, 0x45, 0x67, 0x03}), "", 1},
        {"a total replaces a record that is not all zeros", "123",
         frame({0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x03}), "000001234567", 1},
        {"a used postage before any total goes after the zeros", std::string(56, '0'),
         frame({0x02, 0x21, 0x82, 0xAF, 0x00, 0x00, 0x00, 0x98, 0x76, 0x03}),
         std::string(56, '0') + "000000987600", 2},
        {"format 05: no money field, but the marker", "x",
         frame({0x02, 0x21, 0x83, 0x05, 0x12, 0x34, 0x56, 0x03}), "x", 3},
        {"format 00 gives no digits, and no made-up zeros", "x",
         frame({0x02, 0x21, 0x85, 0x00, 0x03}), "x", 4},
        {"format 12: one byte, two decimals", "", frame({0x02, 0x21, 0x82, 0x12, 0x34, 0x03}),
         "000000000034", 2},
        {"a wide total", "",
         frame({0x02, 0x21, 0x84, 0xC2, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x03}), "123456789012",
         1},
        {"a short frame reads zeros beyond its end", "",
         frame({0x02, 0x21, 0x8C, 0xAF, 0x12, 0x03}), "1203000000", 5},
    };
    for (const auto& c : cases) {
        Target t;
        t.regrecord = c.before;
        t.parse(c.reply);
        EXPECT_EQ(t.regrecord, c.after) << c.what;
        EXPECT_EQ(t.replyflags[c.marker], 1) << c.what;
    }
}

TEST(PitneyParse, ADecodingFaultLeavesTheRecordAndTheMarker) {
    Target t;
    t.parse(total);
    EXPECT_THROW(t.parse(frame({0x02, 0xA1, 0x82, 0xA2, 0x00, 0x1A, 0x00, 0x00, 0x00, 0x03})),
                 MeterError);
    EXPECT_EQ(t.regrecord, "000001234567");
    EXPECT_EQ(t.replyflags[2], 0);
    EXPECT_EQ(t.rxtext, "00");
}

// Bytes in polls -> frames handed over after each poll.
std::vector<std::vector<PitneyFrame>> cutall(const std::vector<Bytes>& polls) {
    PitneyCutter c;
    std::vector<std::vector<PitneyFrame>> out;
    for (const auto& p : polls)
        out.push_back(c.cut(p));
    return out;
}

TEST(PitneyCutter, FramesFromPolls) {
    const PitneyFrame reply =
        frame({0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x5B, 0x0C, 0x03});
    const Bytes wire{0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x5B, 0x0C, 0x03};
    auto with = [](std::initializer_list<Bytes> parts) {
        Bytes b;
        for (const auto& p : parts)
            b.insert(b.end(), p.begin(), p.end());
        return b;
    };
    const PitneyFrame stxinside = frame({0x02, 0x11, 0x02, 0x22, 0x03});
    struct Case {
        const char* what;
        std::vector<Bytes> polls;
        std::vector<std::vector<PitneyFrame>> frames;
    } cases[] = {
        {"a stray byte before the frame", {with({{0x06}, wire})}, {{reply}}},
        {"two frames in one poll, both handed over",
         {with({wire, {0x55}, wire, {0x02}})},
         {{reply, reply}}},
        {"nothing after the last STX yet", {{0x02}, {}}, {{}, {}}},
        {"an STX inside a frame is stored", {{0x02, 0x11, 0x02, 0x22, 0x03}}, {{stxinside}}},
        {"bytes without STX are skipped", {{0x21, 0x84, 0x03, 0x00}}, {{}}},
        {"an open frame waits through empty polls",
         {Bytes(wire.begin(), wire.begin() + 5), {}, {}, Bytes(wire.begin() + 5, wire.end())},
         {{}, {}, {}, {reply}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cutall(c.polls), c.frames) << c.what;

    // Cut at every offset across two polls: the same frame, handed over once, whole.
    for (std::size_t k = 0; k <= wire.size(); ++k) {
        const auto got = cutall({Bytes(wire.begin(), wire.begin() + static_cast<long>(k)),
                                 Bytes(wire.begin() + static_cast<long>(k), wire.end())});
        const bool first = k == wire.size();
        EXPECT_EQ(got[0].size(), first ? 1u : 0u) << k;
        EXPECT_EQ(got[1].size(), first ? 0u : 1u) << k;
        EXPECT_EQ(first ? got[0].at(0) : got[1].at(0), reply) << k;
    }
}

TEST(PitneyCutter, AFrameHasAtMostOneHundredPositionsAfterItsStx) {
    Bytes full(100, 0x44);
    full.insert(full.begin(), 0x02);
    full.back() = 0x03;
    PitneyFrame f{};
    std::copy(full.begin(), full.end(), f.begin());
    EXPECT_EQ(cutall({full}), (std::vector<std::vector<PitneyFrame>>{{f}}));

    // One byte more, in one poll or joined across two: a fault, and nothing of the poll's
    // frames is handed over.
    Bytes over(101, 0x44);
    over.insert(over.begin(), 0x02);
    over.back() = 0x03;
    Bytes withfirst = full;
    withfirst.insert(withfirst.end(), over.begin(), over.end());
    EXPECT_THROW(cutall({withfirst}), MeterError);
    PitneyCutter c;
    EXPECT_TRUE(c.cut(Bytes(over.begin(), over.begin() + 60)).empty());
    EXPECT_EQ(c.count(), 59u);
    EXPECT_THROW(c.cut(Bytes(over.begin() + 60, over.end())), MeterError);
}

} // namespace
} // namespace meter
