// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated framed meter: the command frames it takes, byte for byte, and the replies it
// builds from its registers.
#include "sim/meter.h"
#include "support/framedbytes.h"
#include "support/simwire.h"

#include <gtest/gtest.h>

namespace meter::sim {
namespace {

using meter::testing::hexbytes;

using testing::wire;

Bytes command5(const char* check) {
    Bytes f = hexbytes("01 30 30 30 31 35 3E 30 35 31 02");
    f.insert(f.end(), 80, '0');
    f.insert(f.end(), {'2', '0', 0x03, static_cast<std::uint8_t>(check[0]),
                       static_cast<std::uint8_t>(check[1]), 0x0D, 0x0A});
    return f;
}

const Bytes command2 = hexbytes("01 30 30 30 31 30 3D 30 32 32 02 20 03 3E 38 0D 0A");
const Bytes highspeed = hexbytes("01 31 34 30 33 31 02 31 03 30 30 30 30 30 30 30 30 3B 30 04");

TEST(SimFramed, WorkedFrames_AnsweredWithWorkedReplies) {
    // The registers of the worked examples: the replies carry exactly their data characters.
    const Registers worked{"000000765432", "000000111111", "000000654321", "0000000789",
                           "1234567890"};
    const std::string neodata = "0000654321"
                                "0000111111"
                                "0000765432" +
                                std::string(20, '0') + "0000000789" + std::string(10, '0') +
                                "1234567890" + "00";
    const Registers fast{"000000123456", "000000111111", "000000654321", "0000000789",
                         "1234567890"};
    for (std::int16_t code : {11, 0}) {
        Meter m(worked, {}, code);
        EXPECT_EQ(wire(m.receive(command5("32"))), testing::ackreply());
        // A frame split over two writes is answered once complete.
        EXPECT_TRUE(m.receive(ByteView(command2).first(6)).empty());
        EXPECT_EQ(wire(m.receive(ByteView(command2).subspan(6))), testing::neopostreply(neodata));
        EXPECT_EQ(m.requests(), 2);
    }
    for (std::int16_t code : {31, 0}) {
        Meter m(fast, {}, code);
        EXPECT_EQ(wire(m.receive(highspeed)), testing::highspeedreply("000000123456"
                                                                      "000000654321"
                                                                      "0000000789"
                                                                      "000000111111"
                                                                      "1234567890"));
    }
}

TEST(SimFramed, ValueTooWideForNeopost_RefusedNotCut) {
    Registers wide;
    wide.used = "123456789012";
    Meter neopost(wide, {}, 11);
    EXPECT_NE(neopost.cannotshow().find("used postage; 123456789012 does not fit"),
              std::string::npos)
        << neopost.cannotshow();
    EXPECT_FALSE(neopost.receive(command5("32")).empty()) << "command 5 is still acknowledged";
    EXPECT_TRUE(neopost.receive(command2).empty()) << "no registers with a value cut short";
    EXPECT_EQ(neopost.rejected().size(), 1u);
    Meter fast(wide, {}, 31);
    EXPECT_EQ(fast.cannotshow(), "") << "the 高速机 keeps twelve digits";
    EXPECT_FALSE(fast.receive(highspeed).empty());
}

TEST(SimFramed, WrongFrame_IgnoredAndGoodFrameStillAnswered) {
    Bytes badseq = command2;
    badseq[9] = 'A';
    Bytes badzero = command5("32");
    badzero[40] = '1';
    struct Case {
        const char* what;
        std::int16_t code;
        Bytes frame;
    } cases[] = {
        {"checksum of another sequence", 11, command5("31")},
        {"sequence character not a digit", 11, badseq},
        {"a data byte changed", 11, badzero},
        {"a type-11 frame to the high-speed machine", 31, command2},
        {"the high-speed frame to a neopost", 11, highspeed},
    };
    for (const auto& c : cases) {
        Meter m({}, {}, c.code);
        EXPECT_TRUE(m.receive(c.frame).empty()) << c.what;
        EXPECT_EQ(m.requests(), 0) << c.what;
        // The meter still answers a good frame afterwards.
        EXPECT_FALSE(m.receive(c.code == 31 ? highspeed : command2).empty()) << c.what;
    }
}

} // namespace
} // namespace meter::sim
