// SPDX-License-Identifier: GPL-3.0-or-later
// The capture reader on arbitrary text, as a file sent in from the field may be: it gives a
// capture or a reason, never more. A capture it gives is written back to the same text's
// meaning (read, written, read again: the same capture), and replays offline to an end.
#include "capture/capture.h"
#include "acquire/driver.h"
#include "capture/replay.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace meter;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CaptureRead read = parsecapture(text);
    if (!read.capture) {
        // A refusal always says why.
        if (read.why.empty() || read.why.english().empty()) std::abort();
        return 0;
    }
    const CaptureRead again = parsecapture(capturetext(*read.capture));
    if (!again.capture || !(*again.capture == *read.capture)) std::abort();
    // Only captures of a bounded length are replayed: a reading polls at most a few hundred times.
    if (read.capture->events.size() > 2000) return 0;
    const Capture& capture = *read.capture;
    CaptureReplay replay(capture);
    Driver driver({replay.device(), replay.pacer(), replay.vendor(), replay.listener()});
    const auto port = static_cast<std::int16_t>(capture.header.port);
    if (driver.initport(port, capture.header.code) != 1) return 0;
    const std::string record = driver.Getregisters();
    // Whatever was recorded, the reading ends, and a normal end has a whole record.
    if (driver.reading() || (driver.outcome().normal() && record.size() < 56)) std::abort();
    return 0;
}
