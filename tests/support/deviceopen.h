// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening a serial device in tests of the native devices.
#include "core/metererror.h"
#include "serial/device.h"

#include <string>

namespace meter::testing {

// The reason `device` gives for not opening `port`, or "opened".
inline std::string openfailure(SerialDevice& device, int port) {
    try {
        device.open(port);
    } catch (const MeterError& e) {
        return e.what();
    }
    return "opened";
}

} // namespace meter::testing
