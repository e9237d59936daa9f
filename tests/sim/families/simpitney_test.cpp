// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated Pitney meter: the requests it takes, the ones it refuses, the acknowledgement
// blocks of the spark, and replies a reader decodes to the meter's own register values.
#include "core/hexecho.h"
#include "protocols/pitney/pitney.h"
#include "sim/meter.h"
#include "support/simwire.h"

#include <gtest/gtest.h>

namespace meter::sim {
namespace {

using testing::wire;

Bytes line(std::uint8_t toggle, std::string_view name) {
    const PitneyRequest r = pitneyrequest(toggle, name);
    return Bytes(r.begin(), r.end());
}

// The field a reader makes of `reply`, fed into an empty record.
std::string decoded(const Bytes& reply) {
    PitneyCutter cutter;
    const auto frames = cutter.cut(reply).frames;
    EXPECT_EQ(frames.size(), 1u);
    std::string rx, record;
    std::array<std::uint8_t, 6> flags{};
    for (const auto& f : frames)
        parsepitney(f, {rx, record, flags});
    return record;
}

TEST(SimPitney, WrittenRequestLines_AnsweredWithStuffedReplies) {
    Meter m({}, {}, 21);
    // The first request of a reading, as it stands on the line.
    const Bytes first{0x02, 0x21, 0x54, 0xF3, 0x96, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00};
    const auto es = m.receive(first);
    ASSERT_EQ(es.size(), 1u);
    EXPECT_EQ(es[0].afterms, 20);
    // The default total 2111050 (21110.50): its value bytes 00 02 11 10 50 go out stuffed.
    EXPECT_EQ(hexecho(es[0].bytes), " 2 21 84 A2 0 10 82 11 10 90 50 20 24 3");
    EXPECT_EQ(m.taken(), std::vector<std::string>{"总邮资 (toggle 21)"});

    const Bytes second{0x02, 0xA1, 0x54, 0x72, 0x97, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(hexecho(wire(m.receive(second))), " 2 A1 84 A2 0 10 82 11 10 90 50 9B 28 3");
}

TEST(SimPitney, AnyRegisterValue_ReplyDecodesToIt) {
    const Registers values[] = {
        Registers{},
        {"000001234567", "000000987600", "000001234560", "0000030200", "0012345678"},
        {"999999999999", "100000000000", "000000000000", "9999999999", "0000000000"},
        {"000000020310", "000003100203", "000010101010", "0203100302", "1010101010"},
    };
    for (const auto& r : values) {
        Meter m(r, {}, 22);
        const std::string fields[] = {r.total, r.used, r.unused, r.pieces, r.head};
        std::uint8_t toggle = 0;
        for (std::size_t i = 0; i < pitneyregisters.size(); ++i) {
            toggle = pitneynexttoggle(toggle);
            const Bytes reply = wire(m.receive(line(toggle, pitneyregisters[i].name)));
            ASSERT_GE(reply.size(), 6u);
            EXPECT_EQ(reply[1], toggle);
            EXPECT_EQ(reply[2], pitneyregisters[i].command + 0x30);
            // Stuffing keeps STX and ETX out of the inside of a reply.
            for (std::size_t k = 1; k + 1 < reply.size(); ++k)
                EXPECT_TRUE(reply[k] != 0x02 && reply[k] != 0x03) << hexecho(reply);
            EXPECT_EQ(reply.back(), 0x03);
            EXPECT_EQ(decoded(reply), fields[i]) << hexecho(reply);
        }
        EXPECT_TRUE(m.rejected().empty());
    }
}

TEST(SimPitney, WrongRequestOrToggle_Refused) {
    auto with = [](std::size_t at, std::uint8_t value) {
        Bytes b = line(0x21, "总件数");
        b.at(at) = value;
        return b;
    };
    struct Case {
        const char* what;
        std::vector<Bytes> writes;
        int answered;
    } cases[] = {
        {"a reading begins with 21", {line(0xA1, "总件数")}, 0},
        {"A1 twice", {line(0x21, "总件数"), line(0xA1, "总件数"), line(0xA1, "总件数")}, 2},
        {"21 twice is a new reading", {line(0x21, "总件数"), line(0x21, "表头")}, 2},
        {"toggle 20", {with(1, 0x20)}, 0},
        {"unknown command", {with(2, 0x56)}, 0},
        {"first check byte", {with(3, 0xF0)}, 0},
        {"no ETX", {with(5, 0x04)}, 0},
        {"a trailing byte not zero", {with(10, 0x01)}, 0},
    };
    for (const auto& c : cases) {
        Meter m({}, {}, 21);
        int answered = 0;
        for (const auto& w : c.writes)
            answered += m.receive(w).empty() ? 0 : 1;
        EXPECT_EQ(answered, c.answered) << c.what;
        EXPECT_EQ(m.rejected().size(), c.writes.size() - static_cast<std::size_t>(c.answered))
            << c.what;
    }
}

TEST(SimPitney, RequestsAndAcksInPieces_TakenWhole) {
    const Bytes ack = pitneyackblock();
    Bytes stream = line(0x21, "总邮资");
    stream.insert(stream.end(), ack.begin(), ack.end());
    stream.insert(stream.end(), ack.begin(), ack.end());
    const Bytes next = line(0xA1, "已用邮资");
    stream.insert(stream.end(), next.begin(), next.end());

    for (std::int16_t code : {0, 22}) {
        for (std::size_t piece : {1u, 7u, 64u, 1000u}) {
            Meter m({}, {}, code);
            int replies = 0;
            for (std::size_t i = 0; i < stream.size(); i += piece) {
                const auto end = std::min(stream.size(), i + piece);
                replies += static_cast<int>(m.receive(ByteView(stream).subspan(i, end - i)).size());
            }
            EXPECT_EQ(replies, 2) << code << " " << piece;
            EXPECT_EQ(m.taken(),
                      (std::vector<std::string>{"总邮资 (toggle 21)", "acknowledgement",
                                                "acknowledgement", "已用邮资 (toggle A1)"}))
                << code << " " << piece;
            EXPECT_TRUE(m.rejected().empty());
        }
    }

    // A 950 takes no acknowledgement; a block cut short is refused, and what follows is
    // still heard.
    Meter fifty({}, {}, 21);
    EXPECT_TRUE(fifty.receive(ack).empty());
    EXPECT_EQ(fifty.rejected().size(), 1u);
    Meter spark({}, {}, 22);
    Bytes shortack(ack.begin(), ack.begin() + 40);
    const Bytes first = line(0x21, "表头");
    shortack.insert(shortack.end(), first.begin(), first.end());
    EXPECT_EQ(spark.receive(shortack).size(), 1u);
    EXPECT_EQ(spark.rejected().size(), 1u);
}

} // namespace
} // namespace meter::sim
