#pragma once
// What the front ends share around a reading: where the serial ports and the vendor library
// are, the command-line options that change that, and the texts that report a reading.
#include "acquire/driver.h"
#include "serial/portmap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace meter {

// The vendor library's full path: next to the running executable, else in ../lib/meterreader
// beside it. Where it is in neither, the first place, so that the failure names it.
std::string vendorlibrarypath();

// Applies "--device N=PATH" values to the map. Returns an error message, empty when all are
// well formed.
std::string applydevices(PortMap& map, const std::vector<std::string>& entries);

// Makes the map's overrides visible to the vendor library, which reads METERREADER_PORTS.
void exportports(const PortMap& map);

// One line on a running reading: machine type, the request waited for, elapsed seconds.
std::string progresstext(const std::string& typetext, const std::string& waiting,
                         std::int64_t elapsedms);

// Why a port text or a machine type text was refused; empty when initport would accept the
// pair.
std::string refusal(std::int16_t port, std::int16_t code, const std::string& typetext);

} // namespace meter
