// SPDX-License-Identifier: GPL-3.0-or-later
// The demo meter on a pseudo-terminal of its own.
#include "frontend/demoline.h"
#include "sim/ptyserver.h"

namespace meter {

std::unique_ptr<DemoLine> servedemo(sim::Meter& meter) {
    return std::make_unique<ServedLine<sim::PtyServer>>(meter);
}

} // namespace meter
