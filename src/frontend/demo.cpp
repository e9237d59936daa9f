// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/demo.h"

namespace meter {

void Demo::mapallports(PortMap& map) const {
    for (int port = 1; port <= 8; ++port)
        map.set(port, path());
}

} // namespace meter
