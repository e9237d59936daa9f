// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A vendor library whose answers the test sets, keeping a log of the calls made.
#include "core/metererror.h"
#include "vendorapi/vendorlibrary.h"

#include <algorithm>
#include <string>
#include <vector>

namespace meter::testing {

struct FakeVendor : VendorLibrary {
    // The call that raises, as a library that cannot be loaded (ComOpen) or one that hangs in
    // its helper program (ComClose) would; empty: none.
    std::string raises;
    std::int32_t open = 1;
    std::string record = std::string(56, '7');
    // The records of the second and later ReadRegister calls, the last one staying (empty:
    // `record` every time), as a meter in use between readings gives them.
    std::vector<std::string> later;
    int reads = 0;
    std::int32_t close = 1;
    std::vector<std::string> calls;

    std::int32_t ComOpen(std::int32_t port) override {
        if (raises == "ComOpen")
            throw MeterError(Reason(ReasonCode::vendor_not_loaded, "libcpedfm.so"));
        calls.push_back("ComOpen " + std::to_string(port));
        return open;
    }
    std::string ReadRegister(std::int32_t port) override {
        calls.push_back("ReadRegister " + std::to_string(port));
        const auto n = static_cast<std::size_t>(reads++);
        return n == 0 || later.empty() ? record : later[std::min(n - 1, later.size() - 1)];
    }
    std::int32_t ComClose(std::int32_t port) override {
        calls.push_back("ComClose " + std::to_string(port));
        if (raises == "ComClose")
            throw MeterError(Reason(ReasonCode::vendor_hung, "ComClose", 5000));
        return close;
    }
};

} // namespace meter::testing
