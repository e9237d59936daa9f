// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Puts a simulated meter on the far end of an in-memory device: what the reader writes reaches
// the meter, and the meter's emissions arrive at the device on the device's clock.
#include "serial/scripteddevice.h"
#include "sim/meter.h"

namespace meter::sim {

void attach(ScriptedDevice& device, Meter& meter);

} // namespace meter::sim
