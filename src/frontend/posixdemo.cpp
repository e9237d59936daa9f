#include "frontend/demo.h"

#include <stdexcept>

#ifndef _WIN32
#include "sim/meter.h"
#include "sim/ptyserver.h"
#endif

namespace meter {

#ifndef _WIN32
struct Demo::Running {
    sim::Meter meter{sim::Registers{}, sim::Faults{}};
    sim::PtyServer server{meter};
};

Demo::Demo() : running_(std::make_unique<Running>()) {
    running_->server.start();
}

std::string Demo::path() const {
    return running_->server.path();
}
#else
struct Demo::Running {};

Demo::Demo() {
    throw std::runtime_error("the demo needs pseudo-terminals, which Windows lacks");
}

std::string Demo::path() const {
    return {};
}
#endif

Demo::~Demo() = default;

void Demo::mapallports(PortMap& map) const {
    for (int port = 1; port <= 8; ++port)
        map.set(port, path());
}

} // namespace meter
