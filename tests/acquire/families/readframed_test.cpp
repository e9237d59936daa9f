// SPDX-License-Identifier: GPL-3.0-or-later
// The neopost and high-speed readings on virtual time: against the simulated meter, and against
// replies scripted byte by byte where a test needs a particular fault.
#include "acquire/driver.h"
#include "core/hexecho.h"
#include "support/framedbytes.h"
#include "support/virtualstation.h"

#include <gtest/gtest.h>

namespace meter {
namespace {

using namespace testing;

const std::string neopostsent = hexecho(buildcommand(FramedModel::neopost, 5, '1')) +
                                ", 1 30 30 30 31 30 3D 30 32 32 2 20 3 3E 38 D A,";
const std::string highspeedsent = " 1 31 34 30 33 31 2 31 3 30 30 30 30 30 30 30 30 3B 30 4,";

std::string echo(std::initializer_list<Bytes> replies) {
    std::string text;
    for (const Bytes& r : replies)
        text += hexecho(r);
    return text;
}

// The n-th frame written is answered by replies[n], `delay` ms later.
void script(VirtualStation& st, std::vector<Bytes> replies, int delay = 20) {
    st.device.onwrite([replies, delay, n = std::size_t{0}](ScriptedDevice& d, ByteView) mutable {
        if (n < replies.size()) d.deliver(replies[n], d.now() + delay);
        ++n;
    });
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(FramedReading, AnsweringMeter_SameRecordEchoAndTimeOnEveryReading) {
    const Bytes neo = neopostreply(defaultneopost);
    const Bytes fast = highspeedreply(defaulthighspeed);
    struct Case {
        std::int16_t code;
        sim::Faults faults;
        std::string sent, received;
        std::int64_t ms;
    } cases[] = {
        {11, {}, neopostsent, echo({ackreply()}) + "," + echo({neo}) + ",", 1600},
        {31, {}, highspeedsent, echo({fast}) + ",", 800},
        // Replies that come in two parts over two polls: the parts run together in the echo.
        {11,
         {.chunk = 50, .gapms = 800},
         neopostsent,
         echo({ackreply()}) + "," + echo({neo}) + ",",
         2400},
        {31, {.chunk = 40, .gapms = 800}, highspeedsent, echo({fast}) + ",", 1600},
        // More bytes than awaited in one poll: all kept and echoed, the fixed positions count.
        {11,
         {.twice = true},
         neopostsent,
         echo({ackreply(), ackreply()}) + "," + echo({neo, neo}) + ",",
         1600},
    };
    for (const auto& c : cases) {
        VirtualStation s;
        s.play(c.code, c.faults);
        for (int reading = 0; reading < 2; ++reading) {
            const std::int64_t start = s.pacer.nowms();
            EXPECT_EQ(s.read(c.code), sim::Registers{}.record()) << c.code;
            EXPECT_TRUE(s.driver.outcome().normal()) << s.driver.outcome().reason.english();
            EXPECT_EQ(s.sent(), c.sent) << "each reading starts from sequence '1'";
            EXPECT_EQ(s.received(), c.received);
            EXPECT_EQ(s.pacer.nowms() - start, c.ms) << c.code;
        }
    }
}

TEST(FramedReading, SilentMeter_TimesOutAfterFivePolls) {
    for (std::int16_t code : {11, 31}) {
        VirtualStation s;
        s.play(code, {.silent = true});
        EXPECT_EQ(s.read(code), allzerorecord);
        EXPECT_FALSE(s.driver.outcome().normal());
        EXPECT_EQ(s.received(), ",");
        EXPECT_EQ(s.device.writes().size(), 1u) << "command 2 is never sent";
        EXPECT_EQ(s.device.reads(), 5);
        EXPECT_EQ(s.pacer.nowms(), 4000);
        EXPECT_TRUE(has(s.driver.outcome().reason.english(), "time-out after 4000 ms (5 polls)"))
            << s.driver.outcome().reason.english();
    }
}

Bytes changed(Bytes b, std::size_t at, std::uint8_t to) {
    b[at] = to;
    return b;
}

TEST(FramedReading, FaultyReply_FailsWithAllZeroRecordAndReason) {
    const Bytes neo = neopostreply(defaultneopost);
    const Bytes ack = ackreply();
    Bytes noisy = ack;
    noisy.insert(noisy.begin(), 0x55);
    struct Case {
        std::int16_t code;
        std::vector<Bytes> replies;
        const char* reason;
        std::size_t frames;
    } cases[] = {
        {11, {changed(ackreply(), 15, '0')}, "byte 15 of the acknowledgement is 0x30", 1},
        {11, {noisy}, "acknowledgement has 0x55 at byte 0 where 0x01 belongs", 1},
        {11,
         {ackreply(), changed(neo, 11, 0x41)},
         "register reply: 0x41 at reply byte 11 is not a decimal",
         2},
        {11, {ackreply(), changed(neo, 50, 0x03)}, "closed early: ETX at reply byte 50", 2},
        {11, {ackreply(), changed(neo, 3, 0x02)}, "starting at reply byte 3 runs past its 84", 2},
        {31, {changed(highspeedreply(defaulthighspeed), 20, ' ')}, "0x20 at reply byte 20", 1},
        {31, {Bytes(250, '0')}, "runs past 201 bytes", 1},
    };
    for (const auto& c : cases) {
        VirtualStation s;
        script(s, c.replies);
        EXPECT_EQ(s.read(c.code), allzerorecord) << c.reason;
        EXPECT_FALSE(s.driver.outcome().normal()) << c.reason;
        EXPECT_TRUE(has(s.driver.outcome().reason.english(), c.reason))
            << s.driver.outcome().reason.english();
        EXPECT_EQ(s.device.writes().size(), c.frames) << c.reason;
    }
}

TEST(FramedReading, FullReceiveBuffer_Stores201BytesWithoutComma) {
    VirtualStation s;
    script(s, {Bytes(250, '0')});
    s.read(31);
    std::string stored;
    for (int i = 0; i < 201; ++i)
        stored += " 30";
    EXPECT_EQ(s.received(), stored);
}

TEST(FramedReading, BytesAfterLastPoll_StartTheNextReception) {
    VirtualStation s;
    const Bytes stray{0x30, 0x31};
    s.device.onwrite([&stray, n = 0](ScriptedDevice& d, ByteView) mutable {
        if (n++ == 0) {
            d.deliver(ackreply(), d.now() + 20);
            d.deliver(stray, d.now() + 810); // after the acknowledgement's only poll
        } else {
            d.deliver(neopostreply(defaultneopost), d.now() + 20);
        }
    });
    EXPECT_EQ(s.read(11), allzerorecord);
    EXPECT_EQ(s.received(),
              echo({ackreply()}) + "," + echo({stray, neopostreply(defaultneopost)}) + ",");
    EXPECT_TRUE(has(s.driver.outcome().reason.english(), "register reply has 0x30 at byte 0"));
}

TEST(FramedReading, LostLine_FailsAsLostNotAsMissingReply) {
    VirtualStation s;
    s.play(31, {.dropafter = 1});
    EXPECT_EQ(s.read(31), allzerorecord);
    EXPECT_FALSE(s.driver.outcome().normal());
    EXPECT_TRUE(has(s.driver.outcome().reason.english(), "the line was lost"))
        << s.driver.outcome().reason.english();
    EXPECT_EQ(s.received(), "");
}

// A port whose count and read disagree: bytes that arrive between the two, or a read that
// gives less than was counted.
struct SkewedDevice : ScriptedDevice {
    using ScriptedDevice::ScriptedDevice;
    int skew = 0;
    std::size_t byteswaiting() override {
        const auto n = static_cast<int>(ScriptedDevice::byteswaiting());
        return static_cast<std::size_t>(std::max(0, n + skew));
    }
};

TEST(FramedReading, CountAndReadDisagree_ExtraBytesKeptShortReadFails) {
    for (int skew : {-10, +1}) {
        VirtualPacer pacer;
        SkewedDevice device{[&pacer] { return pacer.nowms(); }};
        device.skew = skew;
        FakeVendor vendor;
        Driver d{{device, pacer, vendor}};
        sim::Meter meter({}, {}, 31);
        sim::attach(device, meter);
        d.initport(1, 31);
        const std::string record = d.Getregisters();
        const std::string bytes = echo({highspeedreply(defaulthighspeed)});
        if (skew < 0) {
            EXPECT_EQ(record, sim::Registers{}.record()) << "bytes read beyond the count are kept";
            EXPECT_EQ(d.link().txtrece(), bytes + ",");
        } else {
            EXPECT_EQ(record, allzerorecord);
            EXPECT_EQ(d.outcome().reason.english(),
                      "the port counted 76 bytes waiting but gave only 75");
            EXPECT_EQ(d.link().txtrece(), bytes) << "no comma after a broken read";
        }
    }
}

// The sequence character goes on from reading to reading, past '9' back to '0', and starts
// again at '1' when the port and type are chosen anew.
TEST(FramedSequence, GoesOnAcrossReadings_RestartsWithInitport) {
    VirtualStation s;
    s.play(11);
    ASSERT_EQ(s.driver.initport(1, 11), 1);
    std::string seen;
    for (int reading = 0; reading < 6; ++reading)
        ASSERT_TRUE(s.driver.Getregisters() != allzerorecord)
            << s.driver.outcome().reason.english();
    ASSERT_EQ(s.driver.initport(1, 11), 1);
    s.driver.Getregisters();
    for (const Bytes& frame : s.device.writes())
        seen += static_cast<char>(frame.at(9));
    EXPECT_EQ(seen, "12345678901212");
}

} // namespace
} // namespace meter
