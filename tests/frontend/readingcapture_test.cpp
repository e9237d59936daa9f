// SPDX-License-Identifier: GPL-3.0-or-later
// Every machine type read with its exchange kept, under the faults of the line: keeping it
// changes nothing in the reading, the capture survives its file, and replaying it offline gives
// the recorded outcome.
#include "frontend/readingcapture.h"

#include "core/machinetypes.h"
#include "serial/scripteddevice.h"
#include "sim/meter.h"
#include "sim/scripted.h"
#include "support/fakevendor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace meter {
namespace {

using testing::FakeVendor;

struct Scene {
    std::int16_t code;
    sim::Faults faults;
    std::int64_t cancelat = -1; // virtual time of a cancel (-1: none)
    std::string raises;         // the vendor call that raises
    std::int32_t closes = 1;    // what ComClose returns
};

// One reading of `s` on virtual time; with a recorder when `recorder` is set.
struct Station {
    VirtualPacer pacer;
    ScriptedDevice device{[this] { return pacer.nowms(); }};
    FakeVendor vendor;
    std::unique_ptr<CaptureRecorder> recorder;
    std::unique_ptr<Driver> driver;
    std::unique_ptr<sim::Meter> meter;

    Station(const Scene& s, bool record) {
        vendor.raises = s.raises;
        vendor.close = s.closes;
        if (record) {
            recorder = std::make_unique<CaptureRecorder>(device, vendor, pacer);
            driver = std::make_unique<Driver>(Driver::Services{
                recorder->device(), pacer, recorder->vendor(), recorder->listener()});
        } else {
            driver = std::make_unique<Driver>(Driver::Services{device, pacer, vendor});
        }
        if (findtype(s.code)->line) {
            meter = std::make_unique<sim::Meter>(sim::Registers{}, s.faults, s.code);
            sim::attach(device, *meter);
        }
        pacer.cancelat(s.cancelat);
    }

    FinishedReading read(const Scene& s) {
        ReadingSession session;
        EXPECT_TRUE(session.choose(*driver, "1", s.code, textfor(s.code)).empty());
        if (recorder) recorder->begin();
        FinishedReading r = session.run(*driver, "/dev/ttyUSB0");
        r.elapsedms = pacer.nowms();
        return r;
    }
};

std::vector<Scene> setups() {
    std::vector<Scene> out;
    for (const std::int16_t code : {11, 12, 13, 21, 22, 31}) {
        sim::Faults split;
        split.chunk = 3;
        split.gapms = 150;
        sim::Faults silent;
        silent.silent = true;
        sim::Faults noisy;
        noisy.noise = 4;
        sim::Faults corrupt;
        corrupt.corrupt = 2;
        sim::Faults dropped;
        dropped.dropafter = 1;
        sim::Faults twice;
        twice.twice = true;
        for (const sim::Faults& f : {sim::Faults{}, split, silent, noisy, corrupt, dropped, twice})
            out.push_back({code, f, -1, "", 1});
        out.push_back({code, silent, 2500, "", 1});
    }
    out.push_back({51, {}, -1, "", 1});
    out.push_back({51, {}, -1, "ComClose", 1});
    out.push_back({51, {}, -1, "ComOpen", 1});
    out.push_back({51, {}, -1, "", 0});
    return out;
}

TEST(ReadingCapture, EveryTypeAndFault_RecordsWithoutChangeAndReplaysAsRecorded) {
    for (const Scene& s : setups()) {
        SCOPED_TRACE(::testing::Message()
                     << "type " << s.code << " silent " << s.faults.silent << " chunk "
                     << s.faults.chunk << " noise " << s.faults.noise << " corrupt "
                     << s.faults.corrupt << " drop " << s.faults.dropafter << " cancel "
                     << s.cancelat << " raises " << s.raises);
        Station plain(s, false), kept(s, true);
        const FinishedReading a = plain.read(s);
        const FinishedReading b = kept.read(s);
        // Keeping the exchange changes nothing of the reading, not even its time.
        EXPECT_EQ(b.report.record, a.report.record);
        EXPECT_EQ(b.report.sent, a.report.sent);
        EXPECT_EQ(b.report.received, a.report.received);
        EXPECT_EQ(b.outcome.reason, a.outcome.reason);
        EXPECT_EQ(b.elapsedms, a.elapsedms);

        const Capture capture = capturereading(b, *kept.recorder);
        EXPECT_EQ(capture.outcome.ms, b.elapsedms);
        const auto kept_ = [&capture](CaptureEvent::Kind kind) {
            return std::ranges::count(capture.events, kind, &CaptureEvent::kind);
        };
        EXPECT_EQ(kept_(CaptureEvent::Kind::poll) > 0, s.code != 51);
        EXPECT_EQ(kept_(CaptureEvent::Kind::error) > 0, s.faults.dropafter > 0);
        EXPECT_EQ(kept_(CaptureEvent::Kind::vendor) > 0, s.code == 51);
        const CaptureRead read = parsecapture(capturetext(capture));
        ASSERT_TRUE(read.capture) << read.why.english();
        EXPECT_EQ(*read.capture, capture);

        const ReplayedReading replayed = replaycapture(*read.capture);
        EXPECT_TRUE(replayed.difference.empty()) << replayed.difference.english();
        EXPECT_TRUE(replayed.writedifference.empty()) << replayed.writedifference.english();
        EXPECT_EQ(replayed.reading.report.sent, b.report.sent);
        EXPECT_EQ(replayed.reading.report.received, b.report.received);
        EXPECT_EQ(replayed.reading.report.time, capture.header.start);
        EXPECT_EQ(replayed.outcome.end, capture.outcome.end);
        EXPECT_EQ(replayed.reading.elapsedms, s.code == 51 ? 0 : b.elapsedms);
    }
}

TEST(ReadingCapture, Replay_TellsTheFirstDifference) {
    const Scene s{21, {}, -1, "", 1};
    Station kept(s, true);
    const FinishedReading r = kept.read(s);
    const Capture good = capturereading(r, *kept.recorder);
    ASSERT_EQ(good.outcome.status, "read");
    struct Case {
        const char* what;
        std::function<void(Capture&)> change;
        std::string difference;
        std::string writedifference;
    } cases[] = {
        {"end", [](Capture& c) { c.outcome.end = "failure"; },
         "the end differs: the capture ended in failure, the replay normally", ""},
        {"reason", [](Capture& c) { c.outcome.reasoncode = "no_reply"; },
         "the reason differs: the capture has \"no_reply\", the replay \"no reason\"", ""},
        {"reason in words",
         [](Capture& c) {
             c.outcome.reasoncode = "registers_all_zero";
             c.outcome.reason = "the meter's registers are all zero";
         },
         "the reason differs: the capture has \"the meter's registers are all zero\"", ""},
        {"record", [](Capture& c) { c.outcome.record[0] = '9'; }, "the record differs", ""},
        {"a request byte",
         [](Capture& c) {
             for (CaptureEvent& e : c.events)
                 if (e.kind == CaptureEvent::Kind::tx) {
                     e.bytes.at(1) ^= 1;
                     break;
                 }
         },
         "", "write 1 differs from the recorded one at byte 2"},
        {"no replies at all",
         [](Capture& c) {
             std::erase_if(c.events,
                           [](const CaptureEvent& e) { return e.kind == CaptureEvent::Kind::rx; });
         },
         "the reason differs: the capture has \"no reason\", the replay \"no reply to", "write 2 differs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Capture changed = good;
        c.change(changed);
        const ReplayedReading replayed = replaycapture(changed);
        EXPECT_TRUE(replayed.difference.english().starts_with(c.difference))
            << replayed.difference.english();
        EXPECT_EQ(replayed.difference.empty(), c.difference.empty());
        EXPECT_TRUE(replayed.writedifference.english().starts_with(c.writedifference))
            << replayed.writedifference.english();
    }
}

} // namespace
} // namespace meter
