// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The vendor library through which the "copote" meter is read, as the driver sees it.
#include <cstdint>
#include <string>

namespace meter {

class Cancellation;

class VendorLibrary {
  public:
    virtual ~VendorLibrary() = default;
    // Each call throws MeterError when the library cannot be found or loaded (or, for a library
    // run in a helper program, when it hangs, crashes or the reading is cancelled).
    virtual std::int32_t ComOpen(std::int32_t port) = 0;
    // The record text, one character per byte of the library's string (which is released).
    virtual std::string ReadRegister(std::int32_t port) = 0;
    virtual std::int32_t ComClose(std::int32_t port) = 0;
    // The library's own word on what went wrong last, when it gives one.
    virtual std::string lasterror() { return {}; }
    // The flag that cancels the running reading; calls that wait watch it.
    virtual void setcancellation(const Cancellation* /*flag*/) {}
};

} // namespace meter
