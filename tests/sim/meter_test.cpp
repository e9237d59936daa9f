// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated meter's own machinery: recognising requests in a byte stream, and the faults.
#include "serial/scripteddevice.h"
#include "sim/meter.h"
#include "sim/scripted.h"
#include "support/simwire.h"
#include "vendor/exchange.h"

#include <gtest/gtest.h>

namespace meter::sim {
namespace {

using testing::wire;

const Registers registers;
const Bytes reply = copote::reply(registers.record());

TEST(SimMeter, RequestAmidNoiseOrSplitAcrossWrites_Answered) {
    Meter m(registers, {}, 51);
    const Bytes req = copote::request();
    EXPECT_TRUE(m.receive(Bytes{0x00, 0x00, 0x7F}).empty());
    EXPECT_TRUE(m.receive(ByteView(req).first(2)).empty()) << "half a request waits";
    EXPECT_EQ(wire(m.receive(ByteView(req).subspan(2))), reply);
    EXPECT_EQ(m.requests(), 1);
    EXPECT_EQ(m.taken(), std::vector<std::string>{"register record"});
}

TEST(SimMeter, RequestOfAnotherType_UnansweredUnlessAuto) {
    Meter fivefour(registers, {}, 12);
    EXPECT_TRUE(fivefour.receive(copote::request()).empty());
    Meter any(registers, {}, 0);
    EXPECT_EQ(wire(any.receive(copote::request())), reply);
}

TEST(SimMeter, EachFault_ShapesReplyTimingAndBytes) {
    struct Case {
        const char* what;
        Faults faults;
        std::vector<int> times;
        Bytes line;
    } cases[] = {
        {"prompt", Faults{}, {20}, reply},
        {"silent", Faults{.silent = true}, {}, {}},
        {"delay", Faults{.delayms = 700}, {700}, reply},
        {"split", Faults{.delayms = 0, .chunk = 25, .gapms = 300}, {0, 300, 600}, reply},
        {"noise",
         Faults{.noise = 2},
         {20},
         [] {
             Bytes b{0x55, 0x55};
             b.insert(b.end(), reply.begin(), reply.end());
             return b;
         }()},
        {"twice",
         Faults{.twice = true},
         {20},
         [] {
             Bytes b = reply;
             b.insert(b.end(), reply.begin(), reply.end());
             return b;
         }()},
        {"corrupt",
         Faults{.corrupt = 3},
         {20},
         [] {
             Bytes b = reply;
             b[3] ^= 0xFF;
             return b;
         }()},
    };
    for (const auto& c : cases) {
        Meter m(registers, c.faults, 51);
        const auto es = m.receive(copote::request());
        std::vector<int> times;
        for (const auto& e : es)
            times.push_back(e.afterms);
        EXPECT_EQ(times, c.times) << c.what;
        EXPECT_EQ(wire(es), c.line) << c.what;
    }
}

TEST(SimMeter, RequestWhileReplyGoesOut_NextReplyWaitsForIt) {
    Meter m(registers, Faults{.delayms = 10, .chunk = 30, .gapms = 200}, 51);
    const auto first = m.receive(copote::request(), 1000);
    const auto second = m.receive(copote::request(), 1050);
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(first[1].afterms, 210);
    // The first reply has gone out once its last chunk and the gap after it have passed.
    EXPECT_EQ(second[0].afterms, 1410 - 1050) << "not interleaved with the first reply";
    EXPECT_EQ(second[1].afterms, 1610 - 1050);
    EXPECT_EQ(m.receive(copote::request(), 5000)[0].afterms, 10) << "an idle line answers at once";
}

TEST(SimMeter, DropAfterK_LineDropsAtKthRequestAndStaysDead) {
    Meter m(registers, Faults{.dropafter = 2}, 51);
    EXPECT_FALSE(m.receive(copote::request()).empty());
    const auto es = m.receive(copote::request());
    ASSERT_EQ(es.size(), 1u);
    EXPECT_TRUE(es[0].drop);
    EXPECT_TRUE(m.receive(copote::request()).empty()) << "a dropped line stays dead";
}

TEST(SimMeter, AttachedToInMemoryDevice_AnswersByItsClock) {
    std::int64_t now = 0;
    ScriptedDevice device([&now] { return now; });
    Meter m(registers, Faults{.delayms = 100, .dropafter = 2}, 0);
    attach(device, m);
    device.open(1);
    device.write(copote::request());
    now = 99;
    EXPECT_TRUE(device.readall().empty());
    now = 100;
    EXPECT_EQ(device.readall(), reply);
    device.write(copote::request());
    EXPECT_THROW(device.readall(), std::exception);
}

TEST(SimMeter, CommandLineTypesAndValues_ParsedOrRefused) {
    EXPECT_EQ(parsetype("auto"), 0);
    EXPECT_EQ(parsetype("5400(5表头)"), 13);
    EXPECT_EQ(parsetype("22"), 22);
    EXPECT_EQ(parsetype("14"), -1);
    EXPECT_EQ(parsetype("Neopost"), -1);
    EXPECT_EQ(registervalue("1234", 10), "0000001234");
    EXPECT_EQ(registervalue("123456789012", 12), "123456789012");
    EXPECT_EQ(registervalue("1234567890123", 12), "");
    EXPECT_EQ(registervalue("12a", 12), "");
    EXPECT_EQ(registervalue("", 12), "");
    EXPECT_EQ(Registers{}.record().size(), 56u);
}

} // namespace
} // namespace meter::sim
