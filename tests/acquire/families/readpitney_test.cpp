// SPDX-License-Identifier: GPL-3.0-or-later
// The Pitney reading sequence on virtual time: requests and toggles, polls and their limits,
// the acknowledgement of the spark, replies cut by poll boundaries or sharing a poll, and the
// ends a reading takes.
#include "acquire/driver.h"
#include "core/hexecho.h"
#include "protocols/pitney/pitney.h"
#include "support/virtualstation.h"

#include <gtest/gtest.h>

namespace meter::testing {
namespace {

const sim::Registers registers;
const std::string record = registers.record();

// What the meter sends, as (milliseconds after the request, bytes).
using Deliveries = std::vector<std::pair<int, Bytes>>;

// Index of the register a request asks for, in record order.
std::size_t registerof(ByteView request) {
    for (std::size_t i = 0; i < pitneyregisters.size(); ++i)
        if (request.size() > 2 && request[2] == pitneyregisters[i].command) return i;
    return pitneyregisters.size();
}

bool isrequest(ByteView w) {
    return w.size() == 11 && w[0] == ascii::stx;
}

// The simulated meter with each reply delivered as `shape` says (by register index).
void shaped(VirtualStation& st, std::int16_t code,
            std::function<Deliveries(std::size_t reg, const Bytes& reply)> shape) {
    st.meter = std::make_unique<sim::Meter>(registers, sim::Faults{.delayms = 0}, code);
    st.device.onwrite([&st, shape](ScriptedDevice& d, ByteView w) {
        for (const sim::Emission& e : st.meter->receive(w))
            for (const auto& [at, bytes] : shape(registerof(w), e.bytes))
                d.deliver(bytes, d.now() + at);
    });
}

// A meter written out by hand: answers each request frame with `answer`.
void handmeter(VirtualStation& st, std::function<Deliveries(const Bytes& request)> answer) {
    st.device.onwrite([answer](ScriptedDevice& d, ByteView w) {
        if (!isrequest(w)) return;
        for (const auto& [at, bytes] : answer(Bytes(w.begin(), w.end())))
            d.deliver(bytes, d.now() + at);
    });
}

std::vector<int> toggles(const ScriptedDevice& d) {
    std::vector<int> out;
    for (const auto& w : d.writes())
        if (isrequest(w)) out.push_back(w[1]);
    return out;
}

int ackblocks(const ScriptedDevice& d) {
    return static_cast<int>(std::count(d.writes().begin(), d.writes().end(), pitneyackblock()));
}

const std::string promptsent =
    " 2 21 54 F3 96 3, 2 A1 52 76 95 3, 2 21 53 F5 95 3, 2 A1 55 70 98 3, 2 21 5C E3 9E 3,";
const std::string promptreceived =
    " 2 21 84 A2 0 10 82 11 10 90 50 20 24 3, 2 A1 82 A2 0 1 23 45 0 69 66 3, 2 21 83 A2 0 0 87 "
    "65 50 58 23 3, 2 A1 85 AF 0 0 0 43 21 4B 79 3, 2 21 8C AF 0 0 12 34 56 12 F3 3,";

TEST(ReadPitney, PromptMeter_ReadInSixPollsWithExactTraffic) {
    for (std::int16_t code : {21, 22}) {
        VirtualStation st;
        st.play(code);
        EXPECT_EQ(st.read(code), record) << code;
        EXPECT_TRUE(st.driver.outcome().normal());
        EXPECT_EQ(st.driver.outcome().reason.english(), "");
        EXPECT_EQ(st.device.reads(), 6);
        EXPECT_EQ(st.pacer.nowms(), 600);
        EXPECT_EQ(toggles(st.device), (std::vector<int>{0x21, 0xA1, 0x21, 0xA1, 0x21}));
        EXPECT_EQ(st.sent(), promptsent);
        EXPECT_EQ(st.received(), promptreceived);
        EXPECT_EQ(ackblocks(st.device), code == 22 ? 6 : 0);
        EXPECT_EQ(st.device.writes().size(), code == 22 ? 11u : 5u);
        ASSERT_EQ(st.device.opens().size(), 1u);
        EXPECT_EQ(st.device.opens()[0].settings, (LineSettings{9600, 'n', 8, code == 21 ? 2 : 1}));
        EXPECT_EQ(st.device.closes(), 1);
    }
}

TEST(ReadPitney, WorkedRepliesToWrittenRequests_GiveWorkedRecord) {
    // Each request as it must stand on the line, and the reply a meter gives to it.
    const std::vector<std::pair<Bytes, Bytes>> exchange = {
        {{0x02, 0x21, 0x54, 0xF3, 0x96, 0x03, 0, 0, 0, 0, 0},
         {0x06, 0x02, 0x21, 0x84, 0xA2, 0x00, 0x01, 0x23, 0x45, 0x67, 0x5B, 0x0C, 0x03}},
        {{0x02, 0xA1, 0x52, 0x76, 0x95, 0x03, 0, 0, 0, 0, 0},
         {0x02, 0xA1, 0x82, 0xAF, 0x00, 0x00, 0x00, 0x98, 0x76, 0x03}},
        {{0x02, 0x21, 0x53, 0xF5, 0x95, 0x03, 0, 0, 0, 0, 0},
         {0x02, 0x21, 0x83, 0xA1, 0x00, 0x00, 0x12, 0x34, 0x56, 0x03}},
        {{0x02, 0xA1, 0x55, 0x70, 0x98, 0x03, 0, 0, 0, 0, 0},
         {0x02, 0xA1, 0x85, 0x8F, 0x00, 0x10, 0x83, 0x10, 0x82, 0x00, 0x4E, 0x11, 0x03}},
        {{0x02, 0x21, 0x5C, 0xE3, 0x9E, 0x03, 0, 0, 0, 0, 0},
         {0x02, 0x21, 0x8C, 0xAF, 0x00, 0x12, 0x34, 0x56, 0x78, 0x03}},
    };
    VirtualStation st;
    std::size_t n = 0;
    handmeter(st, [&](const Bytes& request) -> Deliveries {
        if (n >= exchange.size() || request != exchange[n].first) return {};
        return {{20, exchange[n++].second}};
    });
    EXPECT_EQ(st.read(21), "000001234567000000987600000001234560000003020000"
                           "12345678");
    EXPECT_EQ(n, exchange.size());
    EXPECT_EQ(st.sent(), promptsent);
}

TEST(ReadPitney, LateTotal_AskedOnceMoreNeverAThirdTime) {
    // However late the total: asked twice, never a third time, and the later toggles shift.
    for (int delay : {150, 3000}) {
        VirtualStation st;
        shaped(st, 21, [&](std::size_t reg, const Bytes& reply) -> Deliveries {
            return {{reg == 0 ? delay : 20, reply}};
        });
        EXPECT_EQ(st.read(21), record) << delay;
        EXPECT_EQ(toggles(st.device), (std::vector<int>{0x21, 0xA1, 0x21, 0xA1, 0x21, 0xA1}));
        EXPECT_EQ(registerof(st.device.writes().at(1)), 0u);
    }
}

TEST(ReadPitney, SilentMeter_GivenUpAfterItsTypesPollLimit) {
    struct Case {
        std::int16_t code;
        int polls, acks;
        const char* reason;
    } cases[] = {
        {21, 92, 0, "no reply to 总邮资 after 90 polls"},
        {22, 52, 52, "no reply to 总邮资 after 50 polls"},
    };
    for (const auto& c : cases) {
        VirtualStation st;
        st.play(c.code, {.silent = true});
        EXPECT_EQ(st.read(c.code), allzerorecord);
        EXPECT_TRUE(st.driver.outcome().normal());
        EXPECT_EQ(st.driver.outcome().reason.english(),
                  std::string(c.reason) + "; not a single byte came back: check the machine "
                                          "type, the cable and the port");
        EXPECT_EQ(st.device.reads(), c.polls);
        EXPECT_EQ(st.pacer.nowms(), c.polls * 100);
        EXPECT_EQ(ackblocks(st.device), c.acks);
        EXPECT_EQ(toggles(st.device), (std::vector<int>{0x21, 0xA1}));
        EXPECT_EQ(st.sent(), " 2 21 54 F3 96 3, 2 A1 54 72 97 3,");
        EXPECT_EQ(st.received(), "");
        EXPECT_EQ(st.device.closes(), 1);
    }
}

TEST(ReadPitney, ReplyAtLastPollOfAWait_TooLateUnlessNothingLeft) {
    // A reply `delay` ms after its request is accepted at counted poll delay / 100 - 1: the
    // 89th (spark: 49th) is in time, the 90th (49th) reaches the limit first, unless nothing
    // is left to ask.
    const char* late[] = {
        "the reply to 总邮资 came only at poll %d, too late to ask for 已用邮资",
        "the reply to 已用邮资 came only at poll %d, too late to ask for 未用邮资",
        "the reply to 未用邮资 came only at poll %d, too late to ask for 总件数",
        "the reply to 总件数 came only at poll %d, too late to ask for 表头",
        "",
    };
    for (std::int16_t code : {21, 22}) {
        const int limit = code == 21 ? 90 : 50;
        for (std::size_t reg = 0; reg < 5; ++reg) {
            for (bool intime : {true, false}) {
                const int delay = limit * 100 + (intime ? 0 : 100);
                VirtualStation st;
                shaped(st, code, [&](std::size_t r, const Bytes& reply) -> Deliveries {
                    return {{r == reg ? delay : 20, reply}};
                });
                const std::string got = st.read(code);
                const bool full = intime || reg == 4;
                EXPECT_EQ(got, full ? record : allzerorecord) << code << " " << reg << intime;
                EXPECT_TRUE(st.driver.outcome().normal());
                char reason[160];
                std::snprintf(reason, sizeof reason, late[reg], limit);
                EXPECT_EQ(st.driver.outcome().reason.english(), full ? "" : reason);
                EXPECT_EQ(toggles(st.device).size(), (full ? 5u : reg + 1) + (reg == 0))
                    << code << " " << reg << intime;
            }
        }
    }
}

TEST(ReadPitney, ReplyCutByPollBoundary_Joined) {
    for (std::int16_t code : {21, 22}) {
        for (std::size_t reg = 0; reg < 5; ++reg) {
            for (std::size_t k = 1;; ++k) {
                std::size_t length = 0;
                VirtualStation st;
                shaped(st, code, [&](std::size_t r, const Bytes& reply) -> Deliveries {
                    if (r != reg) return {{20, reply}};
                    length = reply.size();
                    const auto cut = reply.begin() + static_cast<long>(std::min(k, reply.size()));
                    return {{20, Bytes(reply.begin(), cut)}, {120, Bytes(cut, reply.end())}};
                });
                EXPECT_EQ(st.read(code), record) << code << " reply " << reg << " cut at " << k;
                EXPECT_TRUE(st.driver.outcome().normal());
                if (k + 1 >= length) break;
            }
        }
    }
}

TEST(ReadPitney, ReplyAmidEchoesNoiseOrJunk_ReadNormally) {
    const Bytes junk(120, 0x55);
    auto piece = [](const Bytes& b, std::size_t from, std::size_t to) {
        return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(to));
    };
    struct Case {
        const char* what;
        std::function<Deliveries(const Bytes& request, const Bytes& reply)> line;
        int polls; // 0: the late replies make the count depend on the meter's answers to repeats
    } cases[] = {
        {"a line that echoes each request before the reply",
         [](const Bytes& request, const Bytes& reply) -> Deliveries {
             return {{5, request}, {20, reply}};
         },
         6},
        {"every reply twice",
         [](const Bytes&, const Bytes& reply) -> Deliveries {
             Bytes both = reply;
             both.insert(both.end(), reply.begin(), reply.end());
             return {{20, both}};
         },
         6},
        {"noise and an empty frame before the reply",
         [](const Bytes&, const Bytes& reply) -> Deliveries {
             return {{10, {0x55, 0x02, 0x03, 0x55}}, {20, reply}};
         },
         6},
        {"every reply without its ETX",
         [&](const Bytes&, const Bytes& reply) -> Deliveries {
             return {{20, piece(reply, 0, reply.size() - 1)}};
         },
         6},
        {"a lone STX a poll before every reply",
         [](const Bytes&, const Bytes& reply) -> Deliveries {
             return {{20, {0x02}}, {120, reply}};
         },
         0},
        {"an STX and junk running on behind every reply",
         [&](const Bytes&, const Bytes& reply) -> Deliveries {
             Bytes after = reply;
             after.push_back(0x02);
             after.insert(after.end(), junk.begin(), junk.end());
             return {{20, after}};
         },
         6},
        {"an STX and junk over two polls before every reply",
         [&](const Bytes&, const Bytes& reply) -> Deliveries {
             Bytes first{0x02};
             first.insert(first.end(), junk.begin(), junk.begin() + 60);
             return {{5, first}, {105, piece(junk, 60, 120)}, {110, reply}};
         },
         0},
    };
    for (const auto& c : cases) {
        for (std::int16_t code : {21, 22}) {
            VirtualStation st;
            st.meter = std::make_unique<sim::Meter>(registers, sim::Faults{.delayms = 0}, code);
            st.device.onwrite([&](ScriptedDevice& d, ByteView w) {
                for (const sim::Emission& e : st.meter->receive(w))
                    for (const auto& [at, bytes] : c.line(Bytes(w.begin(), w.end()), e.bytes))
                        d.deliver(bytes, d.now() + at);
            });
            EXPECT_EQ(st.read(code), record) << c.what << " " << code;
            EXPECT_TRUE(st.driver.outcome().normal()) << c.what << " " << code;
            EXPECT_EQ(st.driver.outcome().reason.english(), "") << c.what << " " << code;
            if (c.polls) {
                EXPECT_EQ(st.device.reads(), c.polls) << c.what;
            }
        }
    }
}

TEST(ReadPitney, Fault_EndsReadingWithRecordAsItStands) {
    auto flipped = [](std::size_t which, std::size_t at) {
        return [which, at](std::size_t reg, const Bytes& reply) -> Deliveries {
            Bytes b = reply;
            if (reg == which) b.at(at) ^= 0xFF;
            return {{20, b}};
        };
    };
    struct Case {
        const char* what;
        std::function<Deliveries(std::size_t, const Bytes&)> shape;
        std::string record;
        const char* reason;
    } cases[] = {
        {"a value byte that is not packed decimal", flipped(2, 5), registers.total + registers.used,
         "reply byte FF is not packed decimal"},
        {"a poll whose frame runs on without its end byte",
         [](std::size_t reg, const Bytes& reply) -> Deliveries {
             if (reg != 1) return {{20, reply}};
             Bytes runaway(reply.begin(), reply.end() - 1);
             runaway.resize(110, 0x44);
             return {{20, runaway}};
         },
         registers.total, "a reply frame runs past 100 bytes without its end byte 03"},
    };
    for (const auto& c : cases) {
        VirtualStation st;
        shaped(st, 22, c.shape);
        EXPECT_EQ(st.read(22), c.record) << c.what;
        EXPECT_FALSE(st.driver.outcome().normal()) << c.what;
        EXPECT_EQ(st.driver.outcome().reason.english(), c.reason);
        EXPECT_EQ(st.device.closes(), 1);
    }

    VirtualStation lost;
    lost.play(21, {.dropafter = 2});
    EXPECT_EQ(lost.read(21), registers.total);
    EXPECT_FALSE(lost.driver.outcome().normal());

    VirtualStation refused;
    refused.play(21);
    refused.device.refuseopen("port 1 is in use");
    EXPECT_EQ(refused.read(21), allzerorecord);
    EXPECT_FALSE(refused.driver.outcome().normal());
    EXPECT_EQ(refused.driver.outcome().reason.english(), "port 1 is in use");
    EXPECT_TRUE(refused.device.writes().empty());
    EXPECT_EQ(refused.device.reads(), 0);
}

TEST(ReadPitney, LeftoverState_ResetByTheNextReading) {
    VirtualStation st;
    st.play(22);
    ASSERT_EQ(st.read(22), record);
    EXPECT_EQ(st.read(22), record);
    EXPECT_EQ(toggles(st.device),
              (std::vector<int>{0x21, 0xA1, 0x21, 0xA1, 0x21, 0x21, 0xA1, 0x21, 0xA1, 0x21}));
    EXPECT_EQ(st.device.opens().size(), 2u);
    EXPECT_EQ(st.sent(), promptsent) << "each reading's traffic starts empty";
}

} // namespace
} // namespace meter::testing
