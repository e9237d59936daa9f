// SPDX-License-Identifier: GPL-3.0-or-later
// A recorded meter played back: when each recorded chunk goes out, and what is said when the
// reader's bytes are not the recorded ones.
#include "sim/replay.h"

#include <gtest/gtest.h>

namespace meter::sim {
namespace {

using Kind = Recorded::Kind;

Recorded w(std::int64_t ms, Bytes b) {
    return {Kind::write, ms, std::move(b)};
}
Recorded r(std::int64_t ms, Bytes b) {
    return {Kind::read, ms, std::move(b)};
}

// What went out: each emission as its time after the input, its bytes, or "drop".
struct Out {
    int afterms;
    Bytes bytes;
    bool drop = false;
    bool operator==(const Out&) const = default;
};

TEST(SimReplay, RecordedAnswers_GoOutAtTheirTimesAfterEachWrite) {
    const std::vector<Recorded> exchange = {
        w(100, {0x02, 0x41, 0x03}), r(130, {0x06}),
        r(180, {0x02, 0x31}),       r(260, {0x32, 0x03}),
        w(400, {0x02, 0x42, 0x03}), r(420, {0x02, 0x33, 0x03}),
    };
    const struct Case {
        const char* what;
        std::vector<Recorded> more; // recorded after the exchange
        std::vector<Bytes> input;   // each read by the meter, 1000 ms apart
        std::vector<std::vector<Out>> out;
        std::vector<const char*> differences;
    } cases[] = {
        {"as recorded, split answer kept split",
         {},
         {{0x02, 0x41, 0x03}, {0x02, 0x42, 0x03}},
         {{{30, {0x06}}, {80, {0x02, 0x31}}, {160, {0x32, 0x03}}}, {{20, {0x02, 0x33, 0x03}}}},
         {}},
        {"a write arriving in pieces is answered once it is whole",
         {},
         {{0x02}, {0x41}, {0x03, 0x02, 0x42, 0x03}},
         {{},
          {},
          {{30, {0x06}}, {80, {0x02, 0x31}}, {160, {0x32, 0x03}}, {160, {0x02, 0x33, 0x03}}}},
         {}},
        {"a differing byte is reported once per write and answered as recorded",
         {},
         {{0x02, 0x4F, 0x4F}, {0x02, 0x42, 0x04}},
         {{{30, {0x06}}, {80, {0x02, 0x31}}, {160, {0x32, 0x03}}}, {{20, {0x02, 0x33, 0x03}}}},
         {"write 1, byte 2: the reader sent 4F where the capture has 41",
          "write 2, byte 3: the reader sent 04 where the capture has 03"}},
        {"more than was recorded is reported once and not answered",
         {},
         {{0x02, 0x41, 0x03, 0x02, 0x42, 0x03, 0x05}, {0x05}},
         {{{30, {0x06}}, {80, {0x02, 0x31}}, {160, {0x32, 0x03}}, {160, {0x02, 0x33, 0x03}}}, {}},
         {"the reader sent more than the capture's 2 writes"}},
        {"a line lost after the last write is dropped at its time",
         {{Kind::lost, 450, {}}},
         {{0x02, 0x41, 0x03}, {0x02, 0x42, 0x03}},
         {{{30, {0x06}}, {80, {0x02, 0x31}}, {160, {0x32, 0x03}}},
          {{20, {0x02, 0x33, 0x03}}, {50, {}, true}}},
         {}},
    };
    for (const Case& c : cases) {
        std::vector<Recorded> events = exchange;
        events.insert(events.end(), c.more.begin(), c.more.end());
        Replay replay(events);
        for (std::size_t i = 0; i < c.input.size(); ++i) {
            std::vector<Out> got;
            for (const Emission& e :
                 replay.receive(c.input[i], 1000 * static_cast<std::int64_t>(i + 1)))
                got.push_back({e.afterms, e.bytes, e.drop});
            EXPECT_EQ(got, c.out[i]) << c.what << ", input " << i;
        }
        std::vector<std::string> said;
        for (const Reason& why : replay.differences())
            said.push_back(why.english());
        EXPECT_EQ(said, std::vector<std::string>(c.differences.begin(), c.differences.end()))
            << c.what;
    }
}

Recorded poll(std::int64_t ms) {
    return {Kind::poll, ms, {}};
}

// The answer to one write, as times after it; reads recorded at a look at the line go out
// half-way since the look before.
TEST(SimReplay, TimesOfTheAnswer_FromTheRecordedReadsAndLooks) {
    const struct Case {
        const char* what;
        std::vector<Recorded> events;
        std::vector<int> times;
    } cases[] = {
        {"no looks recorded: the read's own times",
         {w(50, {0x01}), r(60, {0x02}), r(90, {0x03})},
         {10, 40}},
        {"before the first write, and empty events",
         {r(5, {0x55}), w(10, {}), w(50, {0x01}), r(60, {}), r(90, {0x02})},
         {0, 40}},
        {"read at a look: half-way since the write",
         {poll(0), w(100, {0x01}), poll(100), poll(200), r(200, {0x02})},
         {50}},
        {"a reply across looks: each chunk half-way since the look before",
         {w(0, {0x01}), poll(1000), r(1000, {0x02}), poll(2000), r(2000, {0x03}), poll(3000),
          poll(4000), r(4000, {0x04})},
         {500, 1500, 3500}},
    };
    for (const Case& c : cases) {
        Replay replay(c.events);
        EXPECT_EQ(replay.writes(), 1u) << c.what;
        std::vector<int> times;
        for (const Emission& e : replay.receive(Bytes{0x01}, 0))
            times.push_back(e.afterms);
        EXPECT_EQ(times, c.times) << c.what;
        EXPECT_EQ(replay.writesdone(), 1u);
    }
}

} // namespace
} // namespace meter::sim
