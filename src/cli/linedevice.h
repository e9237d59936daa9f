// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial device meterread reads through: built in this one place.
#include "serial/device.h"
#include "serial/portmap.h"

#include <memory>

namespace meter {

std::unique_ptr<SerialDevice> makelinedevice(const PortMap& ports);

} // namespace meter
