// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the front ends share around a reading: where the serial ports and the vendor library
// are, the command-line options that change that, and the texts that report a reading.
#include "acquire/driver.h"
#include "frontend/demo.h"
#include "frontend/language.h"
#include "frontend/readingreport.h"
#include "serial/portmap.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace meter {

// The vendor library, run in its helper program cpedfm-host. Each is found by full path, in
// this order: next to the running executable, then in ../lib/meterreader beside it.
std::unique_ptr<VendorLibrary> vendorlibrary();

// Applies "--device N=PATH" values to the map. Returns why one is not well formed; none when
// all are.
Reason applydevices(PortMap& map, const std::vector<std::string>& entries);

// Makes the map's overrides visible to the vendor library, which reads METERREADER_PORTS.
void exportports(const PortMap& map);

// The devices of a run, as both front ends start one: the ports METERREADER_PORTS names, the
// demo meter behind every port (when asked for), the "--device N=PATH" values over both, and
// the whole made visible to the vendor library.
struct RunStart {
    PortMap ports;
    std::unique_ptr<Demo> demo; // null without the demo
    Reason refused;             // the environment or a --device value is not well formed
    Reason demofailed;          // the demo meter could not start
    explicit operator bool() const { return !refused && !demofailed; }

    // Whether `device` (as the report names it) is the demo meter's.
    bool isdemo(const std::string& device) const { return demo && device == demo->path(); }
    // Marks a reading of the demo meter as such: the one place that tells a demo.
    void mark(ReadingReport& report) const { report.demo = isdemo(report.device); }
};
RunStart startrun(bool demo, const std::vector<std::string>& devices);

// One line on a running reading: machine type, the request waited for (named as the reading
// sequences name it), elapsed seconds; in Chinese or English.
std::string progresstext(const std::string& typetext, const std::string& waiting,
                         std::int64_t elapsedms, Language language = Language::zh);

} // namespace meter
