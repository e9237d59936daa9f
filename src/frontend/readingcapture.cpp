// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/readingcapture.h"

#include "capture/replay.h"
#include "core/machinetypes.h"

namespace meter {

CaptureHeader captureheader(const FinishedReading& r) {
    CaptureHeader h;
    h.program = METERREADER_VERSION;
    h.typetext = r.report.typetext;
    h.code = r.report.code;
    if (const MachineType* row = findtype(h.code)) h.line = row->line;
    h.port = r.report.port;
    h.device = r.report.devicetext();
    h.demo = r.report.demo;
    h.start = r.report.time;
    // A verified reading's two exchanges need the version that holds them.
    h.verify = r.report.verified.has_value();
    h.version = h.verify ? captureversion : captureversionsingle;
    return h;
}

CaptureOutcome captureoutcome(const FinishedReading& r) {
    CaptureOutcome o;
    o.end = r.outcome.cancelled() ? "cancelled" : r.outcome.normal() ? "normal" : "failure";
    o.status = r.report.status();
    o.reasoncode = r.report.reasoncode;
    o.reason = r.report.reason;
    o.record = r.report.record;
    o.sent = r.report.sent;
    o.received = r.report.received;
    o.verified = r.report.verified;
    return o;
}

Capture capturereading(const FinishedReading& r, const CaptureRecorder& recorder) {
    return recorder.capture(captureheader(r), captureoutcome(r));
}

ReplayedReading replaycapture(const Capture& capture, ReadingListener* listener) {
    const CaptureHeader& h = capture.header;
    CaptureReplay replay(capture, listener);
    Driver driver({replay.device(), replay.pacer(), replay.vendor(), replay.listener()});
    ReadingSession session;
    ReplayedReading out;
    if (Reason why = session.choose(driver, std::to_string(h.port), h.code, h.typetext)) {
        // Only a capture written by hand names a port the reader refuses: nothing is read.
        out.reading.outcome = {Outcome::End::failure, why};
        out.reading.report.setreason(why);
        out.reading.report.normal = false;
    } else {
        out.reading = session.run(driver, h.device, h.verify, [&replay] { replay.again(); });
    }
    out.reading.report.time = h.start;
    out.reading.report.demo = h.demo;
    out.reading.elapsedms = replay.pacer().nowms();
    out.reading.report.elapsedms = out.reading.elapsedms;
    out.outcome = captureoutcome(out.reading);
    out.outcome.ms = out.reading.elapsedms;
    out.difference = outcomedifference(capture.outcome, out.outcome);
    out.writedifference = replay.firstwritedifference();
    return out;
}

} // namespace meter
