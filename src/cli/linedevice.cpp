// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/linedevice.h"

#include "serial/nativedevice.h"

namespace meter {

std::unique_ptr<SerialDevice> makelinedevice(const PortMap& ports) {
    return makeserialdevice(ports);
}

} // namespace meter
