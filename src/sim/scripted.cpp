// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/scripted.h"

namespace meter::sim {

void attach(ScriptedDevice& device, Meter& meter) {
    device.onwrite([&meter](ScriptedDevice& d, ByteView written) {
        const std::int64_t now = d.now();
        for (const Emission& e : meter.receive(written, now)) {
            if (e.drop)
                d.droplineat(now + e.afterms);
            else
                d.deliver(e.bytes, now + e.afterms);
        }
    });
}

} // namespace meter::sim
