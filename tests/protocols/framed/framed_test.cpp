// SPDX-License-Identifier: GPL-3.0-or-later
// Command frames, checksum characters and register decoding of the framed family, against byte
// sequences written out by hand.
#include "protocols/framed/framed.h"
#include "support/framedbytes.h"

#include <gtest/gtest.h>

#include <random>

namespace meter {
namespace {

using testing::hexbytes;

TEST(FramedCommand, TypeAndCommand_BuildWorkedFrameOrNone) {
    Bytes zeros80(80, '0');
    Bytes five = hexbytes("01 30 30 30 31 35 3E 30 35 31 02");
    five.insert(five.end(), zeros80.begin(), zeros80.end());
    for (std::uint8_t b : hexbytes("32 30 03 33 32 0D 0A"))
        five.push_back(b);
    EXPECT_EQ(buildcommand(FramedModel::neopost, 5, 0x31), five);
    EXPECT_EQ(buildcommand(FramedModel::neopost, 2, 0x32),
              hexbytes("01 30 30 30 31 30 3D 30 32 32 02 20 03 3E 38 0D 0A"));
    EXPECT_EQ(buildcommand(FramedModel::neopost, 2, 0x34),
              hexbytes("01 30 30 30 31 30 3D 30 32 34 02 20 03 3E 3A 0D 0A"));
    const Bytes fast = hexbytes("01 31 34 30 33 31 02 31 03 30 30 30 30 30 30 30 30 3B 30 04");
    for (std::int16_t command : {0, 4, 2, 5, -1})
        EXPECT_EQ(buildcommand(FramedModel::highspeed, command, 0x31), fast) << command;
    for (std::int16_t command : {6, 0, 4, -1}) {
        EXPECT_TRUE(buildcommand(FramedModel::neopost, command, 0x31).empty()) << command;
        EXPECT_FALSE(hascommand(FramedModel::neopost, command));
    }
}

TEST(FramedCommand, EachSequenceCharacter_ChecksumAsTabledTakenBack) {
    const char* tables[3][10] = {
        {"31", "32", "33", "34", "35", "36", "37", "38", "39", "3:"},
        {">6", ">7", ">8", ">9", ">:", ">;", "><", ">=", ">>", ">?"},
        {":?", ";0", ";1", ";2", ";3", ";4", ";5", ";6", ";7", ";8"},
    };
    const std::pair<FramedModel, std::int16_t> frames[3] = {
        {FramedModel::neopost, 5}, {FramedModel::neopost, 2}, {FramedModel::highspeed, 0}};
    for (int f = 0; f < 3; ++f)
        for (int seq = 0; seq < 10; ++seq) {
            const Bytes frame = buildcommand(frames[f].first, frames[f].second,
                                             static_cast<std::uint8_t>('0' + seq));
            const std::size_t at = commandlayout(frames[f].first, frames[f].second)->checkindex;
            EXPECT_EQ(std::string(frame.begin() + at, frame.begin() + at + 2), tables[f][seq])
                << "frame " << f << " sequence " << seq;
            // The meter takes the frame back to its command and sequence character.
            const FramedTaken t = takecommand(frame, frames[f].first);
            EXPECT_EQ(t.kind, FramedTaken::Kind::request) << t.reason;
            EXPECT_EQ(t.command, frames[f].second);
            EXPECT_EQ(t.seqchar, '0' + seq);
        }
}

TEST(FramedCommand, NextSequence_StepsUpAndWrapsAboveNineToZero) {
    // One up; anything above '9' after the step, 0xFF included, starts again at '0'.
    for (auto [from, to] : {std::pair<int, int>{'0', '1'},
                            {'8', '9'},
                            {'9', '0'},
                            {0xFF, '0'},
                            {0x7F, '0'},
                            {0x00, 0x01}})
        EXPECT_EQ(nextseqchar(static_cast<std::uint8_t>(from)), to) << from;
}

const std::string neopostdata = "0000654321"
                                "0000111111"
                                "0000765432" +
                                std::string(20, '0') + "0000000789" + std::string(10, '0') +
                                "1234567890"
                                "00";

Bytes block(const std::string& data) {
    Bytes b(data.begin(), data.end());
    b.insert(b.begin(), 0x02);
    b.push_back(0x03);
    return b;
}

TEST(FramedReply, ReplyBlock_CutIntoRecordOrNonDigitOrUnframedFault) {
    struct Case {
        const char* what;
        bool neopost;
        std::string data;
        std::size_t at; // a data byte changed at this block index (0: none)
        std::uint8_t to;
        std::string record; // empty: malformed at `at`
    } cases[] = {
        {"neopost", true, neopostdata, 0, 0,
         "000000765432"
         "000000111111"
         "000000654321"
         "0000000789"
         "1234567890"},
        {"neopost, letter in a register", true, neopostdata, 1, 0x41, ""},
        {"neopost, colon in the head", true, neopostdata, 80, 0x3A, ""},
        {"neopost, blank where no register lies", true, neopostdata, 35, 0x20,
         "000000765432"
         "000000111111"
         "000000654321"
         "0000000789"
         "1234567890"},
        {"high-speed", false,
         "000000123456"
         "000000654321"
         "0000000789"
         "000000111111"
         "1234567890",
         0, 0,
         "000000123456"
         "000000111111"
         "000000654321"
         "0000000789"
         "1234567890"},
        {"high-speed, blank in the total", false, std::string(56, '1'), 12, 0x20, ""},
    };
    for (const auto& c : cases) {
        Bytes b = block(c.data);
        if (c.at) b[c.at] = c.to;
        const Decoding d = c.neopost ? parseneopost(b) : parsehighspeed(b);
        EXPECT_EQ(d.record, c.record) << c.what;
        if (c.record.empty()) {
            EXPECT_EQ(d.fault, Decoding::Fault::nondigit) << c.what;
            EXPECT_EQ(d.index, c.at) << c.what;
            EXPECT_EQ(d.byte, c.to) << c.what;
        }
    }
    Bytes b = block(neopostdata);
    b.back() = 0x00;
    EXPECT_EQ(parseneopost(b).fault, Decoding::Fault::unframed);
    EXPECT_EQ(parseneopost(ByteView(b).first(40)).fault, Decoding::Fault::unframed);
    EXPECT_EQ(parsehighspeed(Bytes{}).fault, Decoding::Fault::unframed);
}

TEST(FramedReply, RandomRegisterValues_RoundTripThroughReader) {
    std::mt19937 random(1131);
    std::uniform_int_distribution<int> digit(0, 9);
    auto digits = [&](std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i)
            s += static_cast<char>('0' + digit(random));
        return s;
    };
    for (int round = 0; round < 200; ++round) {
        const std::uint8_t seq = static_cast<std::uint8_t>('0' + round % 10);
        const std::string total = digits(12), used = digits(12), unused = digits(12);
        const std::string pieces = digits(10), head = digits(10);
        const RegisterValues values{total, used, unused, pieces, head};
        // The neopost keeps ten-digit postage registers: the record has "00" in front.
        auto ten = [](const std::string& v) { return "00" + v.substr(2); };
        const Verdict neo =
            judgereply(*replyform(FramedModel::neopost, 5), buildneopostreply(values, seq));
        ASSERT_EQ(neo.kind, Verdict::Kind::record);
        ASSERT_EQ(neo.record, ten(total) + ten(used) + ten(unused) + pieces + head);
        const Verdict fast =
            judgereply(*replyform(FramedModel::highspeed, 4), buildhighspeedreply(values, seq));
        ASSERT_EQ(fast.kind, Verdict::Kind::record);
        ASSERT_EQ(fast.record, total + used + unused + pieces + head);
        EXPECT_EQ(judgereply(*replyform(FramedModel::neopost, 6), buildacknowledgement(seq)).kind,
                  Verdict::Kind::accepted);
    }
    EXPECT_EQ(buildacknowledgement('1'), testing::ackreply());
}

} // namespace
} // namespace meter
