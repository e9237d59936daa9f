// SPDX-License-Identifier: GPL-3.0-or-later
// Pitney frames without a line: requests and their check bytes, the format byte, stuffed
// packed decimal, the record fields, and cutting frames out of polls.
#include "core/hexecho.h"
#include "onepoll.h"
#include "protocols/pitney/pitney.h"

#include <random>

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
    Decoded parse(ByteView f) { return parsepitney(f, {rxtext, regrecord, replyflags}); }
};

TEST(PitneyRequest, EachRegisterAndToggle_BuildsFrameMeterTakesBack) {
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
        // The meter takes the buffer back to its register, and waits while it is incomplete.
        const PitneyTaken t = takepitneyrequest(r);
        EXPECT_EQ(t.kind, c.command ? PitneyTaken::Kind::request : PitneyTaken::Kind::rejected);
        EXPECT_EQ(takepitneyrequest(ByteView(r).first(10)).kind,
                  c.command ? PitneyTaken::Kind::needmore : PitneyTaken::Kind::rejected);
        if (c.command == 0) continue;
        EXPECT_EQ(t.asked->name, c.name);
        EXPECT_EQ(t.toggle, c.toggle);
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

TEST(PitneyDecode, FormatByte_DigitsAndDecimalsFromItsHexText) {
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

TEST(PitneyDecode, StuffedPackedDecimal_UnstuffedOrFaultAtBadByte) {
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
        const Decoded d = decodedigits(c.work, c.length);
        EXPECT_EQ(d.ok(), !c.fault) << d.reason.english();
        EXPECT_EQ(d.digits, c.digits);
    }
}

TEST(PitneyDecode, DigitsAndDecimals_FitFieldWidthOrNoField) {
    for (auto [in, out] : {std::pair<const char*, const char*>{"12345", "0000012345"},
                           {"000123456789", "0123456789"},
                           {"00", "0000000000"},
                           {"", ""}})
        EXPECT_EQ(tendigitfield(in), out) << in;

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

TEST(PitneyParse, FiveWorkedReplies_MakeRecordRepeatChangesNothing) {
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

TEST(PitneyReply, WorkedFields_BuiltIntoWrittenOutReplies) {
    struct Case {
        std::uint8_t toggle, command;
        const char* field;
        Bytes reply;
    } cases[] = {
        {0x21,
         0x54,
         "000001234567",
         {0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x0F, 0xD7, 0x03}},
        {0x21,
         0x5C,
         "0012345678",
         {0x02, 0x21, 0x8C, 0xAF, 0x00, 0x12, 0x34, 0x56, 0x78, 0x84, 0x09, 0x03}},
        {0xA1,
         0x54,
         "123456789012",
         {0x02, 0xA1, 0x84, 0xC2, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0xD1, 0x8D, 0x03}},
        {0xA1,
         0x55,
         "0000030200",
         {0x02, 0xA1, 0x85, 0xAF, 0x00, 0x00, 0x10, 0x83, 0x10, 0x82, 0x00, 0x45, 0xDE, 0x03}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(buildpitneyreply(c.toggle, c.command, c.field), c.reply) << c.field;
}

TEST(PitneyReply, RandomRegisterValues_RoundTripThroughReader) {
    std::mt19937 random(2122);
    std::uniform_int_distribution<int> digit(0, 9);
    for (int round = 0; round < 200; ++round) {
        // Values of every size, so postage goes out with ten digits and with twelve, and the
        // bytes that need stuffing turn up.
        const std::size_t significant = static_cast<std::size_t>(round % 13);
        Target t;
        std::string record;
        std::uint8_t toggle = 0;
        for (const PitneyRegister& r : pitneyregisters) {
            const std::size_t width =
                r.name == std::string_view("总件数") || r.name == std::string_view("表头") ? 10
                                                                                           : 12;
            std::string field(width, '0');
            for (std::size_t i = width - std::min(width, significant); i < width; ++i)
                field[i] = static_cast<char>('0' + digit(random));
            record += field;
            toggle = pitneynexttoggle(toggle);
            PitneyCutter cutter;
            for (const PitneyFrame& f :
                 cutter.cut(buildpitneyreply(toggle, r.command, field)).frames)
                t.parse(f);
        }
        ASSERT_EQ(t.regrecord, record) << round;
        ASSERT_EQ(t.replyflags, (std::array<std::uint8_t, 6>{0, 1, 1, 1, 1, 1}));
    }
}

// Every format a reply can carry (1 to 12 digits, each decimals code) for every register, with
// random digits. The field expected is worked out here from the digits as the record keeps
// them: leading zeros dropped, the whole part at least ten digits, postage with two decimals.
TEST(PitneyReply, EveryFormatRandomDigits_DecodeToTheFieldWorkedOutHere) {
    std::mt19937 random(2022);
    std::uniform_int_distribution<int> digit(0, 9);
    const auto tenormore = [](const std::string& digits) {
        const std::string value =
            digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
        return std::string(value.size() < 10 ? 10 - value.size() : 0, '0') + value;
    };
    for (std::size_t count = 1; count <= 12; ++count)
        for (const auto& [decimals, nibble] : {std::pair{'F', 0xF}, {'1', 0x1}, {'2', 0x2}})
            for (const PitneyRegister& r : pitneyregisters)
                for (int round = 0; round < 20; ++round) {
                    std::string digits;
                    for (std::size_t i = 0; i < count; ++i)
                        digits += static_cast<char>('0' + digit(random));
                    const auto format = static_cast<std::uint8_t>(count << 4 | nibble);
                    const Bytes reply = buildpitneyreply(pitneytogglea, r.command, format, digits);
                    const PitneyDecoded d = decodepitney(reply);

                    // Packed decimal carries an even count: an odd one arrives with a zero in
                    // front.
                    const std::string sent = (count % 2 ? "0" : "") + digits;
                    std::string field;
                    if (r.command == 0x55 || r.command == 0x5C) {
                        field = tenormore(sent);
                    } else {
                        const std::size_t kept = decimals == '2' ? 2 : decimals == '1' ? 1 : 0;
                        const std::size_t cut = sent.size() - std::min(kept, sent.size());
                        field = tenormore(sent.substr(0, cut)) + sent.substr(cut) +
                                std::string(2 - kept, '0');
                    }
                    ASSERT_EQ(d.fault.english(), "") << hexecho(reply);
                    ASSERT_EQ(d.field, field) << hexecho(reply);
                }
}

TEST(PitneyParse, UnusualReplies_EnterRecordAndMarkerByFormat) {
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
    EXPECT_EQ(t.parse(frame({0x02, 0xA1, 0x82, 0xA2, 0x00, 0x1A, 0x00, 0x00, 0x00, 0x03}))
                  .reason.english(),
              "reply byte 1A is not packed decimal");
    EXPECT_EQ(t.regrecord, std::string(56, '0'));
    EXPECT_EQ(t.replyflags[2], 0);
    EXPECT_EQ(t.rxtext, "00");
}

TEST(PitneyCutter, PollsWithSplitsStraysOrJunk_ReplyFramesHandedOver) {
    const Bytes wire{0x06, 0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x5B, 0x0C, 0x03};
    const PitneyFrame reply =
        frame({0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x5B, 0x0C, 0x03});
    // The reply up to the end of its value, as handed over when no ETX came with it.
    const PitneyFrame value = frame({0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67});
    const Bytes noetx(wire.begin(), wire.end() - 1);
    const Bytes junk(120, 0x44);
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const Bytes stx{0x02};
    const Bytes bad{0x02, 0xA1, 0x82, 0xA2, 0x00, 0x1A, 0x00, 0x00, 0x00, 0x03};
    struct Case {
        const char* what;
        std::vector<Bytes> polls;
        std::vector<std::vector<PitneyFrame>> frames;
    } cases[] = {
        {"a stray byte before the frame", {wire}, {{reply}}},
        {"two frames in one poll, both handed over", {join({wire, wire, stx})}, {{reply, reply}}},
        {"an STX inside a frame is stored",
         {{0x02, 0x11, 0x02, 0x03}},
         {{frame({0x02, 0x11, 0x02, 0x03})}}},
        {"a split reply is carried through empty polls to the end of its value",
         {Bytes(wire.begin(), wire.begin() + 5), {}, Bytes(wire.begin() + 5, wire.end())},
         {{}, {}, {value}}},
        {"a reply without its ETX",
         {noetx},
         {{frame({0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x5B, 0x0C})}}},
        {"a reply without its ETX, split",
         {Bytes(noetx.begin(), noetx.begin() + 7), Bytes(noetx.begin() + 7, noetx.end())},
         {{}, {value}}},
        {"a stray STX a poll before the reply", {stx, wire}, {{}, {reply}}},
        {"an open frame ends at an STX in a later poll",
         {Bytes(wire.begin(), wire.begin() + 6), join({Bytes{0x01}, wire})},
         {{}, {reply}}},
        {"junk that runs on after a reply in the same poll",
         {join({wire, stx, junk}), wire},
         {{reply}, {reply}}},
        {"junk that runs on over two polls",
         {join({stx, Bytes(60, 0x44)}), Bytes(60, 0x44), wire},
         {{}, {}, {reply}}},
        {"junk with a reply's answer code, carried, then bytes that do not decode",
         {Bytes(wire.begin(), wire.begin() + 6), join({Bytes{0x1A, 0x44}, junk, wire})},
         {{}, {reply}}},
        {"a poll's further frame that does not decode is dropped", {join({wire, bad})}, {{reply}}},
        {"the poll's own frame goes to the decoder as it is",
         {join({bad, wire})},
         {{frame({0x02, 0xA1, 0x82, 0xA2, 0x00, 0x1A, 0x00, 0x00, 0x00, 0x03}), reply}}},
    };
    for (const auto& c : cases) {
        PitneyCutter cutter;
        std::vector<std::vector<PitneyFrame>> got;
        for (const auto& p : c.polls)
            got.push_back(cutter.cut(p).frames);
        EXPECT_EQ(got, c.frames) << c.what;
    }
}

TEST(PitneyCutter, OwnFramePast100PositionsAfterStx_Fault) {
    Bytes full(101, 0x44);
    full.front() = 0x02;
    full.back() = 0x03;
    EXPECT_EQ(PitneyCutter().cut(full).frames.size(), 1u);

    // One byte more: a fault in one poll; over two polls, no fault: the second poll has no
    // frame of its own, and the first poll's is no register's reply.
    Bytes over = full;
    over.back() = 0x44;
    over.push_back(0x03);
    const PitneyCut fault = PitneyCutter().cut(over);
    EXPECT_EQ(fault.fault.english(), "a reply frame runs past 100 bytes without its end byte 03");
    EXPECT_TRUE(fault.frames.empty());
    PitneyCutter c;
    EXPECT_TRUE(c.cut(ByteView(over).first(60)).frames.empty());
    EXPECT_FALSE(c.inside());
    EXPECT_EQ(c.cut(ByteView(over).subspan(60)).fault.english(), "");
}

// Random polls of a line: bytes drawn mostly from what replies are made of, cut at random.
struct Line {
    std::mt19937 random{20261207};
    std::size_t below(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    }

    // An intact reply to a register: stuffed packed-decimal value, any check bytes, ETX.
    Bytes reply() {
        static constexpr std::uint8_t codes[] = {0x84, 0x82, 0x83, 0x85, 0x8C};
        static constexpr std::uint8_t decimals[] = {0x0F, 0x01, 0x02};
        const int digits = 1 + static_cast<int>(below(15));
        Bytes r{0x02, below(2) ? std::uint8_t{0x21} : std::uint8_t{0xA1}, codes[below(5)],
                static_cast<std::uint8_t>(digits << 4 | decimals[below(3)])};
        for (int i = 0; i < (digits + 1) / 2; ++i) {
            const auto b = static_cast<std::uint8_t>(below(10) << 4 | below(10));
            if (b == 0x02 || b == 0x03 || b == 0x10) r.push_back(0x10);
            r.push_back(b == 0x02 || b == 0x03 || b == 0x10 ? b + 0x80 : b);
        }
        r.insert(r.end(), {static_cast<std::uint8_t>(below(256)),
                           static_cast<std::uint8_t>(below(256)), 0x03});
        return r;
    }
    // Anything: pieces of replies, control bytes, noise.
    Bytes anything(std::size_t pieces) {
        static constexpr std::uint8_t likely[] = {0x02, 0x03, 0x10, 0x84, 0x82, 0x83, 0x85,
                                                  0x8C, 0xA2, 0x1A, 0x8F, 0x05, 0x00, 0x99};
        Bytes out;
        for (std::size_t i = 0; i < pieces; ++i) {
            switch (below(4)) {
            case 0: {
                const Bytes r = reply();
                const std::size_t from = below(2) ? 0 : below(r.size());
                out.insert(out.end(), r.begin() + static_cast<long>(from),
                           r.end() - static_cast<long>(below(2)));
                break;
            }
            case 1:
                out.push_back(likely[below(sizeof likely)]);
                break;
            case 2:
                out.insert(out.end(), below(40), static_cast<std::uint8_t>(below(256)));
                break;
            default:
                out.push_back(static_cast<std::uint8_t>(below(256)));
            }
        }
        return out;
    }
    std::vector<Bytes> polls(const Bytes& stream) {
        std::vector<Bytes> out;
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t n = std::min(below(2) ? below(8) : below(60), stream.size() - at);
            out.emplace_back(stream.begin() + static_cast<long>(at),
                             stream.begin() + static_cast<long>(at + n));
            at += n;
        }
        return out;
    }
};

TEST(PitneyCutter, RandomPolls_ReadWhatAPollAloneReadsSoundly) {
    Line line;
    for (int run = 0; run < 3000; ++run) {
        const std::vector<Bytes> polls = line.polls(line.anything(1 + line.below(12)));
        const std::string difference = onepoll::firstdifference(polls);
        if (!difference.empty()) {
            std::string shown;
            for (const Bytes& p : polls)
                shown += hexecho(p) + " |";
            FAIL() << difference << " in" << shown;
        }
    }
}

TEST(PitneyCutter, IntactRepliesCutAnyway_DecodeTheSame) {
    Line line;
    auto values = [](const std::vector<Bytes>& polls) {
        PitneyCutter cutter;
        std::vector<PitneyDecoded> out;
        for (const Bytes& p : polls)
            for (const PitneyFrame& f : cutter.cut(p).frames)
                if (PitneyDecoded v = decodepitney(f); v.marker != 0) out.push_back(v);
        return out;
    };
    for (int run = 0; run < 2000; ++run) {
        Bytes stream;
        std::vector<PitneyDecoded> expected;
        for (std::size_t n = 1 + line.below(6); n > 0; --n) {
            const Bytes r = line.reply();
            expected.push_back(decodepitney(r));
            stream.insert(stream.end(), r.begin(), r.end());
            // Noise between replies, never an STX.
            for (std::size_t k = line.below(3); k > 0; --k)
                stream.push_back(static_cast<std::uint8_t>(0x03 + line.below(250)));
        }
        ASSERT_EQ(values({stream}), expected) << hexecho(stream);
        const std::vector<Bytes> polls = line.polls(stream);
        ASSERT_EQ(values(polls), expected) << hexecho(stream) << " in " << polls.size() << " polls";
    }
}

} // namespace
} // namespace meter
