// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one error that ends a reading early. Raised wherever a reading cannot go on (a port that
// cannot be written, a line that vanished, a reply byte that is not decimal, a vendor library
// that cannot be loaded) and caught only at the failure end of the reading, where its reason is
// kept for the technician.
#include <stdexcept>
#include <string>

namespace meter {

class MeterError : public std::runtime_error {
  public:
    explicit MeterError(const std::string& reason) : std::runtime_error(reason) {}
};

// The reading was cancelled (the operator, the window closing, a signal). It unwinds the reading
// like any other MeterError; the driver tells it apart and ends the reading as cancelled.
class ReadingCancelled : public MeterError {
  public:
    ReadingCancelled() : MeterError("the reading was cancelled") {}
};

} // namespace meter
