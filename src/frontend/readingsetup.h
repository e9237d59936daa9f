// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the front ends share around a reading: where the serial ports and the vendor library
// are, the command-line options that change that, and the texts that report a reading.
#include "acquire/driver.h"
#include "frontend/demo.h"
#include "frontend/language.h"
#include "frontend/readingreport.h"
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

// Marks a reading as the demo meter's when its device is `demodevice` (the demo's device; empty
// without a demo): the one place that tells a demo reading.
inline void markdemo(ReadingReport& report, const std::string& demodevice) {
    report.demo = !demodevice.empty() && report.device == demodevice;
}

// The devices of a run, as both front ends start one: the ports METERREADER_PORTS names, the
// demo meter behind every port (when asked for), the "--device N=PATH" values over both, and
// the whole made visible to the vendor library.
struct RunStart {
    PortMap ports;
    std::unique_ptr<Demo> demo; // null without the demo
    Reason refused;             // the environment or a --device value is not well formed
    Reason demofailed;          // the demo meter could not start
    explicit operator bool() const { return !refused && !demofailed; }

    // Marks a reading of the demo meter as such (see markdemo).
    void mark(ReadingReport& report) const { markdemo(report, demo ? demo->path() : ""); }
};
RunStart startrun(bool demo, const std::vector<std::string>& devices);

// One line on a running reading, as both front ends show it: the machine type, the register
// waited for (named as the reading sequences name it: "表头"), the seconds waited and, with a
// register and a limit, the most the wait can take; in Chinese or English.
//   "正在读取 5400(4表头)：等待表头（12 / 60 秒）"   "Reading neopost: waiting for total postage (12 s)"
std::string progresstext(const std::string& typetext, const std::string& waiting,
                         std::int64_t waitedms, Language language = Language::zh,
                         std::int64_t limitms = 0);

// The longest one wait of a reading of machine type `code` can take before the reading gives
// up, in milliseconds, from the type's row. 0 where the reading sets no bound of its own (the
// vendor library of "copote").
std::int64_t waitlimitms(std::int16_t code);

} // namespace meter
