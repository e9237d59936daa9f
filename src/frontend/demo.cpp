// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/demo.h"

#include "frontend/demoline.h"

namespace meter {

struct Demo::Running {
    sim::Meter meter{sim::Registers{}, sim::Faults{}};
    std::unique_ptr<DemoLine> line;
};

Demo::Demo() : running_(std::make_unique<Running>()) {
    running_->line = servedemo(running_->meter);
}

Demo::~Demo() = default;

std::string Demo::path() const {
    return running_->line->path();
}

void Demo::mapallports(PortMap& map) const {
    for (int port = 1; port <= 8; ++port)
        map.set(port, path());
}

} // namespace meter
