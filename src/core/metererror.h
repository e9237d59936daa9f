// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one error that unwinds a reading: the line is lost (a port that cannot be written, a
// device that vanished, a vendor library that hung or crashed) or the reading was cancelled.
// Everything else a reading meets is a value. Caught only at the failure end of the reading,
// where its reason is kept for the technician.
#include "core/reason.h"

#include <stdexcept>
#include <string>

namespace meter {

class MeterError : public ErrorWithReason<std::runtime_error> {
  public:
    using ErrorWithReason::ErrorWithReason;
};

// The reading was cancelled (the operator, the window closing, a signal). It unwinds the reading
// like any other MeterError; the driver tells it apart and ends the reading as cancelled.
class ReadingCancelled : public MeterError {
  public:
    ReadingCancelled() : MeterError(Reason(ReasonCode::cancelled)) {}
};

} // namespace meter
