// SPDX-License-Identifier: GPL-3.0-or-later
// The demo meter on a named pipe of this process, \\.\pipe\meterreader-demo-<process id>: the
// serial device opens it as it opens a COM port, and so does the vendor library in its helper
// program, which is started with the port map in its environment.
#include "frontend/demoline.h"
#include "sim/pipeserver.h"

#include <windows.h>

namespace meter {

std::unique_ptr<DemoLine> servedemo(sim::Meter& meter) {
    return std::make_unique<ServedLine<sim::PipeServer>>(
        meter, "meterreader-demo-" + std::to_string(GetCurrentProcessId()));
}

} // namespace meter
