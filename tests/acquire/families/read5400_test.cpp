// SPDX-License-Identifier: GPL-3.0-or-later
// The 5400 reading sequence on virtual time: against the replies meters send, against the
// simulated meter with its faults, and with every reply cut across reads.
#include "acquire/driver.h"
#include "core/hexecho.h"
#include "support/virtualstation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace meter {
namespace {

using testing::VirtualStation;

const std::string headline = " FE 1 6 7 4 D C B2 18 0,";
const std::string usedline = " FE 1 6 7 4 D 5 23 31 0,";
const std::string unusedline = " FE 1 6 7 4 D 6 13 52 0,";
const std::string piecesline = " FE 1 6 7 4 D 8 F2 9C 0,";
const std::string allsent = headline + usedline + unusedline + piecesline;

// A meter that answers the n-th request (from 0) with the bytes `answer` gives, 20 ms later.
using Script = std::function<Bytes(int request)>;
void script(VirtualStation& st, Script answer) {
    st.device.onwrite([answer, n = 0](ScriptedDevice& d, ByteView) mutable {
        const Bytes reply = answer(n++);
        if (!reply.empty()) d.deliver(reply, d.now() + 20);
    });
}

TEST(Read5400, WorkedReplies_ExactRecordRequestsAndEcho) {
    const Bytes replies[] = {
        {0x63, 0x63, 0xFE, 0x11, 0x22, 0x33, 0x81, 0x44, 0x56, 0x34, 0x12},
        {0x63, 0x63, 0xFE, 0, 0, 0, 0x81, 0, 0x90, 0x78, 0x56, 0x34, 0x12},
        {0x63, 0x63, 0xFE, 0, 0, 0, 0x81, 0, 0x00, 0x10, 0x00, 0x00, 0x00},
        {0x63, 0x63, 0xFE, 0, 0, 0, 0x81, 0, 0x78, 0x56, 0x34, 0x12},
    };
    VirtualStation st;
    script(st, [&](int n) { return n < 4 ? replies[n] : Bytes{}; });
    EXPECT_EQ(st.read(12, 2),
              "001234568890001234567890000000001000" + std::string("00123456780000123456"));
    EXPECT_TRUE(st.driver.outcome().normal());
    EXPECT_EQ(st.driver.outcome().reason.english(), "");
    EXPECT_EQ(st.pacer.nowms(), 5000) << "five polls of a second";
    EXPECT_EQ(st.device.reads(), 5);

    const std::vector<Bytes> lines = {
        {0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x0C, 0xB2, 0x18, 0x00, 0x00},
        {0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x05, 0x23, 0x31, 0x00, 0x00},
        {0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x06, 0x13, 0x52, 0x00, 0x00},
        {0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x08, 0xF2, 0x9C, 0x00, 0x00},
    };
    EXPECT_EQ(st.device.writes(), lines);
    EXPECT_EQ(st.sent(), allsent);
    std::string received;
    for (const Bytes& r : replies)
        received += hexecho(r);
    EXPECT_EQ(st.received(), received) << "the reads run together without commas";

    ASSERT_EQ(st.device.opens().size(), 1u);
    EXPECT_EQ(st.device.opens()[0].settings.text(), "4800,n,8,1");
}

TEST(Read5400, LargeUsedAndUnused_TotalIsTheirSumInSixtyFourBits) {
    struct Case {
        std::int16_t code;
        std::string used, unused, total;
    } cases[] = {
        {12, "009999999999", "009999999999", "019999999998"},
        {13, "099999999990", "099999999990", "199999999980"},
        {13, "000000000010", "000000000000", "000000000010"},
        {12, "000000000000", "000000000000", "000000000000"},
    };
    for (const auto& c : cases) {
        sim::Registers r;
        r.used = c.used;
        r.unused = c.unused;
        VirtualStation st;
        st.play(c.code, {}, r);
        EXPECT_EQ(st.read(c.code), c.total + c.used + c.unused + r.pieces + r.head) << c.total;
        EXPECT_TRUE(st.driver.outcome().normal());
    }
}

TEST(Read5400, SilentMeter_GivesUpAfterSixtyPollsAtNormalEnd) {
    VirtualStation st;
    st.play(12, {.silent = true});
    EXPECT_EQ(st.read(12), allzerorecord);
    EXPECT_TRUE(st.driver.outcome().normal());
    EXPECT_EQ(st.driver.outcome().reason.english(),
              "no reply to 表头 after 60 polls; not a single byte came back: check the machine "
              "type, the cable and the port");
    EXPECT_EQ(st.sent(), headline);
    EXPECT_EQ(st.received(), "");
    EXPECT_EQ(st.device.reads(), 1 + 1 + 60) << "after opening, after the request, 60 polls";
    EXPECT_EQ(st.pacer.nowms(), 62000);
}

TEST(Read5400, MeterStopsAnsweringMidway_AllZeroRecordAtNormalEnd) {
    const sim::Registers registers;
    sim::Meter meter(registers, {}, 12);
    VirtualStation st;
    // Only the head and used postage requests are answered.
    st.device.onwrite([&meter, n = 0](ScriptedDevice& d, ByteView written) mutable {
        for (const auto& e : meter.receive(written))
            if (n < 2) d.deliver(e.bytes, d.now() + e.afterms);
        ++n;
    });
    EXPECT_EQ(st.read(13), allzerorecord);
    EXPECT_TRUE(st.driver.outcome().normal());
    EXPECT_EQ(st.driver.outcome().reason.english(), "no reply to 未用邮资 after 60 polls");
    EXPECT_EQ(st.sent(), headline + usedline + unusedline);
}

TEST(Read5400, LineFaults_HarmlessReadSameRecordOthersFailAllZero) {
    const std::string good = sim::Registers{}.record();
    struct Case {
        const char* what;
        sim::Faults faults;
        bool normal;
        std::string reason; // part of the reason of a failure
    } cases[] = {
        {"noise before every reply", {.noise = 5}, true, ""},
        {"every reply twice", {.twice = true}, true, ""},
        {"replies a poll late", {.delayms = 1500}, true, ""},
        {"split within a poll", {.chunk = 3, .gapms = 200}, true, ""},
        {"split across polls", {.chunk = 5, .gapms = 900}, true, ""},
        {"a byte not examined", {.corrupt = 4}, true, ""},
        {"a value byte not packed decimal", {.corrupt = 9}, false, "is not packed decimal"},
        {"line lost", {.dropafter = 2}, false, "line was lost"},
    };
    for (const auto& c : cases) {
        VirtualStation st;
        st.play(12, c.faults);
        const std::string record = st.read(12);
        EXPECT_EQ(st.driver.outcome().normal(), c.normal) << c.what;
        if (c.normal) {
            EXPECT_EQ(record, good) << c.what;
        } else {
            EXPECT_EQ(record, allzerorecord) << c.what;
            EXPECT_NE(st.driver.outcome().reason.english().find(c.reason), std::string::npos)
                << c.what << ": " << st.driver.outcome().reason.english();
        }
        EXPECT_FALSE(st.device.isopen()) << c.what;
    }
}

// The simulated meter on a serial line whose replies reach the reader in pieces, one piece a
// poll: `cuts` gives the offsets at which the n-th reply is cut. A reply starts only once the
// line is free of the one before.
using Cuts = std::function<std::vector<std::size_t>(int reply, std::size_t size)>;
void playcut(VirtualStation& st, sim::Meter& meter, Cuts cuts) {
    st.device.onwrite(
        [&meter, cuts, n = 0, freeat = std::int64_t{0}](ScriptedDevice& d, ByteView w) mutable {
            for (const auto& e : meter.receive(w)) {
                std::int64_t at = std::max(d.now() + e.afterms, freeat);
                std::vector<std::size_t> offsets = cuts(n, e.bytes.size());
                offsets.push_back(e.bytes.size());
                std::size_t from = 0;
                for (std::size_t to : offsets) {
                    d.deliver(ByteView(e.bytes).subspan(from, to - from), at);
                    from = to;
                    at += 1000;
                }
                freeat = at - 1000 + 1;
                ++n;
            }
        });
}

TEST(Read5400, ReplyCutAtAnyOffset_SameRecord) {
    for (std::int16_t code : {12, 13}) {
        const sim::Registers registers;
        const std::size_t sizes[] = {13, 15, 15, 14};
        std::string prompt;
        for (int which = -1; which < 4; ++which) {
            const std::size_t size = which < 0 ? 0 : sizes[which];
            for (std::size_t at = 1; at < std::max<std::size_t>(size, 2); ++at) {
                sim::Meter meter(registers, {}, code);
                VirtualStation st;
                playcut(st, meter, [&](int n, std::size_t) {
                    return n == which ? std::vector<std::size_t>{at} : std::vector<std::size_t>{};
                });
                EXPECT_EQ(st.read(code), registers.record())
                    << code << " reply " << which << "@" << at;
                if (which < 0) prompt = st.received();
                // The tail of the last reply may come after the reading ended.
                EXPECT_EQ(prompt.substr(0, st.received().size()), st.received())
                    << code << " reply " << which << "@" << at;
            }
        }
        // Every reply cut at the same offset, and every reply byte by byte.
        for (std::size_t at = 1; at < 15; ++at) {
            sim::Meter meter(registers, {}, code);
            VirtualStation st;
            playcut(st, meter, [at](int, std::size_t size) {
                return at < size ? std::vector<std::size_t>{at} : std::vector<std::size_t>{};
            });
            EXPECT_EQ(st.read(code), registers.record()) << code << " all @" << at;
        }
        sim::Meter meter(registers, {}, code);
        VirtualStation st;
        playcut(st, meter, [](int, std::size_t size) {
            std::vector<std::size_t> all;
            for (std::size_t i = 1; i < size; ++i)
                all.push_back(i);
            return all;
        });
        EXPECT_EQ(st.read(code), registers.record()) << code << " byte by byte";
        EXPECT_EQ(prompt.substr(0, st.received().size()), st.received()) << code << " byte by byte";
        EXPECT_GT(st.device.reads(), 50);
    }
}

} // namespace
} // namespace meter
