// SPDX-License-Identifier: GPL-3.0-or-later
// The demo meter on a named pipe of this process, \\.\pipe\meterreader-demo-<process id>: the
// serial device opens it as it opens a COM port, and so does the vendor library in its helper
// program, which is started with the port map in its environment.
#include "frontend/demo.h"

#include "sim/meter.h"
#include "sim/pipeserver.h"

#include <windows.h>

namespace meter {

struct Demo::Running {
    sim::Meter meter{sim::Registers{}, sim::Faults{}};
    sim::PipeServer server{meter, "meterreader-demo-" + std::to_string(GetCurrentProcessId())};
};

Demo::Demo() : running_(std::make_unique<Running>()) {
    running_->server.start();
}

Demo::~Demo() = default;

std::string Demo::path() const {
    return running_->server.path();
}

} // namespace meter
