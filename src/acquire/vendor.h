#pragma once
// The vendor library through which the "copote" meter is read.
#include <cstdint>
#include <memory>
#include <string>

namespace meter {

class VendorLibrary {
  public:
    virtual ~VendorLibrary() = default;
    // Each call throws MeterError when the library cannot be found or loaded.
    virtual std::int32_t ComOpen(std::int32_t port) = 0;
    // The record text, one character per byte of the library's string (which is released).
    virtual std::string ReadRegister(std::int32_t port) = 0;
    virtual std::int32_t ComClose(std::int32_t port) = 0;
    // The library's own word on what went wrong last, when it gives one.
    virtual std::string lasterror() { return {}; }
};

// The library's file name on this platform: libcpedfm.so, or cpedfm.dll on Windows.
std::string vendorlibraryname();

} // namespace meter
