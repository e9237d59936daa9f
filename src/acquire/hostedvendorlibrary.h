// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The vendor library run in its helper program, cpedfm-host.
#include "vendorapi/hostprotocol.h"
#include "vendorapi/vendorlibrary.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace meter {

class HostProcess;

// The library's file name on this platform: libcpedfm.so, or cpedfm.dll on Windows.
std::string vendorlibraryname();
// The helper program that runs it: cpedfm-host, or cpedfm-host.exe on Windows.
std::string vendorhostname();

// The vendor library run in the helper program cpedfm-host, started by full path on the first
// call and talked to over pipes (docs/vendor-host.md). The program and the library are each
// taken from the first of their candidate places where the file exists, looked up whenever the
// program is started; when one is in none of them, the reason names them all. A library that hangs
// or crashes ends only that program: every call waits at most `callbound`, and a cancelled reading
// ends the program at once. Either is a MeterError, so the reading takes its failure end. The
// program stays up between readings, as a loaded library would, and is ended with this object.
class HostedVendorLibrary : public VendorLibrary {
  public:
    static constexpr std::chrono::milliseconds defaultbound{30000};

    HostedVendorLibrary(std::vector<std::string> hostcandidates,
                        std::vector<std::string> librarycandidates,
                        std::chrono::milliseconds callbound = defaultbound);
    // Exactly these files; an empty path is one that could not be found.
    HostedVendorLibrary(const std::string& hostpath, const std::string& librarypath,
                        std::chrono::milliseconds callbound = defaultbound);
    ~HostedVendorLibrary() override;
    HostedVendorLibrary(const HostedVendorLibrary&) = delete;
    HostedVendorLibrary& operator=(const HostedVendorLibrary&) = delete;

    std::int32_t ComOpen(std::int32_t port) override;
    std::string ReadRegister(std::int32_t port) override;
    std::int32_t ComClose(std::int32_t port) override;
    std::string lasterror() override;
    void setcancellation(const Cancellation* flag) override { cancellation_ = flag; }

  private:
    vendorhost::Answer call(vendorhost::Call what, std::int32_t port);
    bool cancelled() const;

    std::vector<std::string> hostcandidates_;
    std::vector<std::string> librarycandidates_;
    std::chrono::milliseconds callbound_;
    const Cancellation* cancellation_ = nullptr;
    std::unique_ptr<HostProcess> process_;
};

} // namespace meter
