// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the front ends share around a reading: where the serial ports and the vendor library
// are, the command-line options that change that, and the texts that report a reading.
#include "acquire/driver.h"
#include "frontend/language.h"
#include "serial/portmap.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace meter {

// The vendor library, run in its helper program cpedfm-host. Each is found by full path, in
// this order: next to the running executable, then in ../lib/meterreader beside it. A call to
// it waits at most the bound vendorcallbound() gives for the environment's value of
// testvendorboundvariable.
std::unique_ptr<VendorLibrary> vendorlibrary();

// For the Windows checks alone, where the helper runs under user-mode emulation and starts in
// about a minute: a bound on a vendor call longer than the 30 s one, in milliseconds. Only ever
// lengthens it, to at most 10 minutes; anything else (unset, not a whole number, shorter) keeps
// 30 s. The reason a hung library gives names the bound in force.
inline constexpr const char* testvendorboundvariable = "METERREADER_TEST_VENDOR_BOUND_MS";
std::chrono::milliseconds vendorcallbound(const char* value);

// Applies "--device N=PATH" values to the map. Returns why one is not well formed; none when
// all are.
Reason applydevices(PortMap& map, const std::vector<std::string>& entries);

// Makes the map's overrides visible to the vendor library, which reads METERREADER_PORTS.
void exportports(const PortMap& map);

// One line on a running reading: machine type, the request waited for (named as the reading
// sequences name it), elapsed seconds; in Chinese or English.
std::string progresstext(const std::string& typetext, const std::string& waiting,
                         std::int64_t elapsedms, Language language = Language::zh);

} // namespace meter
