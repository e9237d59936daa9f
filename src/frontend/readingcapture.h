// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A finished reading as a capture, and a capture read again offline: the front ends' side of
// capture/ (the header and the outcome from what the reading session reports).
#include "capture/capture.h"
#include "capture/recorder.h"
#include "frontend/readingsession.h"

namespace meter {

// The header and the outcome of a finished reading.
CaptureHeader captureheader(const FinishedReading& r);
CaptureOutcome captureoutcome(const FinishedReading& r);

// The capture of the reading `recorder` kept.
Capture capturereading(const FinishedReading& r, const CaptureRecorder& recorder);

// A capture's reading run again: its machine type's reading sequence on virtual time with no
// port, against the recorded meter or library.
struct ReplayedReading {
    FinishedReading reading; // its time the recorded start, its elapsed time virtual
    CaptureOutcome outcome;
    Reason difference;      // the first difference from the recorded outcome; none if it agrees
    Reason writedifference; // the first write that differs from the recorded one; none if none
};
ReplayedReading replaycapture(const Capture& capture, ReadingListener* listener = nullptr);

} // namespace meter
