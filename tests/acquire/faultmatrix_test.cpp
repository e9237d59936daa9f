// SPDX-License-Identifier: GPL-3.0-or-later
// Every serial machine type against the faults a technician meets on the line, on virtual time:
// what the reading returns, how it ends and why, that the port is closed and opens again at
// once for a clean reading, and that no reading outlasts its protocol's bound. Then a long run
// of readings with random faults.
#include "support/soak.h"
#include "support/virtualstation.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <map>
#include <vector>

namespace meter::testing {
namespace {

const sim::Registers meter;
// Another meter's values: those of bytes left from elsewhere, and of the meter read after each
// fault, so that nothing of one reading can pass for the other.
const sim::Registers other{"000000000300", "000000000100", "000000000200", "0000000007",
                           "0000000009"};

constexpr std::int16_t serialtypes[] = {11, 12, 13, 21, 22, 31};

// A reply as it reaches the line: (milliseconds after the meter sends it, bytes).
using Deliveries = std::vector<std::pair<int, Bytes>>;
using Shape = std::function<Deliveries(const Bytes& reply)>;

Bytes joined(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
const Bytes stx{0x02};
const Bytes junk(60, 0x44);

// Pitney frames cut by the polls in the ways a one-poll cut still reads.
Deliveries withoutendbyte(const Bytes& r) {
    return {{0, Bytes(r.begin(), r.end() - 1)}};
}
Deliveries straystartbefore(const Bytes& r) {
    return {{0, stx}, {150, r}};
}
Deliveries unendedframeafter(const Bytes& r) {
    return {{0, joined(joined(r, stx), joined(junk, junk))}};
}
Deliveries junkspanningpolls(const Bytes& r) {
    return {{0, joined(stx, junk)}, {100, junk}, {250, r}};
}

// How a reading should end.
struct Expect {
    enum class Record { meters, zero, totalonly } record;
    bool normal;
    const char* reason; // part of the reason; empty: none expected
    // How long a reading lasts that waits its whole wait in vain: the polls before the wait
    // and the wait itself (0: not fixed; no reading outlasts its protocol's bound).
    std::int64_t giveupms;
    // Whether the reason tells where to look: a wait given up without a single byte.
    bool hint = false;
};
Expect reads() {
    return {Expect::Record::meters, true, "", 0};
}
Expect fails(const char* reason, Expect::Record record = Expect::Record::zero) {
    return {record, false, reason, 0};
}
// The 5400 and Pitney readings give up at their normal end.
Expect givesup(const char* reason, std::int64_t ms) {
    return {Expect::Record::zero, true, reason, ms, true};
}
// A framed reception gives up after five polls of 800 ms, at the failure end.
Expect timesout() {
    return {Expect::Record::zero, false, "time-out after 4000 ms", 4000, true};
}

enum class Port { opens, refused, holdsstalereply };

struct Case {
    const char* fault;
    std::vector<std::int16_t> codes;
    sim::Faults faults;
    Expect expect;
    Shape shape = {}; // what becomes of each reply on the way
    Port port = Port::opens;
};

TEST(FaultMatrix, AnySerialTypeAnyFault_EndsAsItShouldAndTheNextReadingIsClean) {
    const char* const head = "no reply to 表头 after 60 polls";
    const char* const total90 = "no reply to 总邮资 after 90 polls";
    const char* const total50 = "no reply to 总邮资 after 50 polls";
    const Expect::Record keepstotal = Expect::Record::totalonly;
    const std::vector<Case> cases = {
        {"port cannot be opened", {11, 12, 13, 21, 22, 31}, {}, fails("in use"), {}, Port::refused},

        {"silent meter", {12, 13}, {.silent = true}, givesup(head, 62000)},
        {"silent meter", {21}, {.silent = true}, givesup(total90, 9200)},
        {"silent meter", {22}, {.silent = true}, givesup(total50, 5200)},
        {"silent meter", {11, 31}, {.silent = true}, timesout()},

        // Replies that come only after the reader stopped waiting lie in the receive buffer
        // when the port is opened again.
        {"reply after the wait", {12, 13}, {.delayms = 62000}, givesup(head, 62000)},
        {"reply after the wait", {21}, {.delayms = 9500}, givesup(total90, 9200)},
        {"reply after the wait", {22}, {.delayms = 5500}, givesup(total50, 5200)},
        {"reply after the wait", {11, 31}, {.delayms = 4500}, timesout()},

        {"late reply", {12, 13}, {.delayms = 1500}, reads()},
        {"late reply", {21, 22}, {.delayms = 250}, reads()},
        {"late reply", {11, 31}, {.delayms = 3500}, reads()},

        {"noise before every reply", {12, 13, 21, 22}, {.noise = 5}, reads()},
        // The framed replies are checked at fixed positions from their first byte on.
        {"noise before every reply", {11, 31}, {.noise = 5}, fails("has 0x55 at byte 0")},

        {"reply split across polls", {12, 13}, {.chunk = 5, .gapms = 900}, reads()},
        {"reply split across polls", {21, 22}, {.chunk = 5, .gapms = 100}, reads()},
        {"reply split across polls", {11, 31}, {.chunk = 40, .gapms = 900}, reads()},
        {"reply split byte by byte", {21, 22}, {.chunk = 1, .gapms = 30}, reads()},

        {"every reply twice", {11, 12, 13, 21, 22, 31}, {.twice = true}, reads()},

        {"corrupted value byte", {12, 13}, {.corrupt = 9}, fails("is not packed decimal")},
        {"corrupted value byte", {21, 22}, {.corrupt = 5}, fails("is not packed decimal")},
        {"corrupted value byte", {11, 31}, {.corrupt = 30}, fails("is not a decimal digit")},

        // A reply of another reading waits in the receive buffer when the port is opened.
        {"stale reply at open", {11, 12, 13, 21, 22, 31}, {}, reads(), {}, Port::holdsstalereply},

        // Pitney frames cut by the polls: whatever the one-poll cut reads must still read.
        {"reply without its end byte", {21, 22}, {}, reads(), withoutendbyte},
        {"stray frame start a poll before", {21, 22}, {}, reads(), straystartbefore},
        {"unended frame after the reply", {21, 22}, {}, reads(), unendedframeafter},
        {"unended frame over two polls before", {21, 22}, {}, reads(), junkspanningpolls},

        // The cable is pulled once the meter has taken this many requests; a failed Pitney
        // reading keeps the registers decoded before.
        {"unplugged mid-reading", {11, 12, 13}, {.dropafter = 2}, fails("was lost")},
        {"unplugged mid-reading", {21, 22}, {.dropafter = 2}, fails("was lost", keepstotal)},
        {"unplugged mid-reading", {31}, {.dropafter = 1}, fails("was lost")},
    };

    std::map<std::int16_t, int> covered;
    for (const Case& c : cases) {
        for (const std::int16_t code : c.codes) {
            ++covered[code];
            const std::string what = std::string(c.fault) + ", type " + std::to_string(code);
            VirtualStation st;
            st.play(code, c.faults, meter);
            if (c.shape)
                st.device.onwrite([&st, shape = c.shape](ScriptedDevice& d, ByteView w) {
                    for (const sim::Emission& e : st.meter->receive(w, d.now()))
                        for (const auto& [at, bytes] : shape(e.bytes))
                            d.deliver(bytes, d.now() + e.afterms + at);
                });
            if (c.port == Port::refused)
                st.device.refuseopen("port 1 is in use by another program");
            if (c.port == Port::holdsstalereply) st.device.deliver(soak::lastreply(code, other), 0);

            const std::string record = st.read(code);
            const Outcome& outcome = st.driver.outcome();
            const Expect& x = c.expect;
            switch (x.record) {
            case Expect::Record::meters:
                EXPECT_EQ(record, meter.record()) << what;
                break;
            case Expect::Record::zero:
                EXPECT_EQ(record, allzerorecord) << what;
                break;
            case Expect::Record::totalonly:
                EXPECT_EQ(record, meter.total) << what << ": the record as it stood";
                break;
            }
            EXPECT_EQ(outcome.normal(), x.normal) << what;
            EXPECT_EQ(outcome.reason.english().find("check the machine type, the cable and the "
                                                    "port") != std::string::npos,
                      x.hint)
                << what << ": " << outcome.reason.english();
            if (*x.reason) {
                EXPECT_NE(outcome.reason.english().find(x.reason), std::string::npos)
                    << what << ": " << outcome.reason.english();
            } else {
                EXPECT_EQ(outcome.reason.english(), "") << what;
            }
            EXPECT_FALSE(st.device.isopen()) << what;
            EXPECT_EQ(st.device.closes(), static_cast<int>(st.device.opens().size())) << what;
            EXPECT_LE(st.pacer.nowms(), soak::longestms(code)) << what;
            if (x.giveupms) {
                EXPECT_EQ(st.pacer.nowms(), x.giveupms) << what;
            }

            // Start pressed again a while later, the fault gone (the cable plugged back in):
            // nothing of the first reading may show in the second.
            st.pacer.advance(70000);
            st.device.refuseopen("");
            st.device.droplineat(std::numeric_limits<std::int64_t>::max());
            st.play(code, {}, other);
            EXPECT_EQ(st.read(code), other.record()) << what << ", read again";
            EXPECT_EQ(st.driver.outcome().reason.english(), "") << what << ", read again";
            EXPECT_FALSE(st.device.isopen()) << what << ", read again";
        }
    }
    for (const std::int16_t code : serialtypes)
        EXPECT_GE(covered[code], 10) << "type " << code << " misses a fault of the matrix";
}

// Ten thousand readings of random types against random faults, one station all along as in a
// long session at the window. Under the sanitizers this also proves the readings leak nothing.
TEST(FaultSoak, TenThousandReadingsWithRandomFaults_KeepEveryPromise) {
    soak::Run run(20260607);
    for (int i = 0; i < 10000; ++i) {
        const soak::Reading r = run.next();
        ASSERT_TRUE(r.kept()) << "reading " << i << ": " << r.describe();
    }
    EXPECT_GT(run.readnormally(), 5000) << "the faults leave enough good readings";
    EXPECT_GT(run.failed(), 1000) << "and enough failures";
}

} // namespace
} // namespace meter::testing
