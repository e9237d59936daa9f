// SPDX-License-Identifier: GPL-3.0-or-later
// The demo meter on a pseudo-terminal of its own.
#include "frontend/demo.h"

#include "sim/meter.h"
#include "sim/ptyserver.h"

namespace meter {

struct Demo::Running {
    sim::Meter meter{sim::Registers{}, sim::Faults{}};
    sim::PtyServer server{meter};
};

Demo::Demo() : running_(std::make_unique<Running>()) {
    running_->server.start();
}

Demo::~Demo() = default;

std::string Demo::path() const {
    return running_->server.path();
}

} // namespace meter
