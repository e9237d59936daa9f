// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "serial/traffic.h"

#include <cstdint>
#include <string_view>

namespace meter {

// What a front end hears of a running reading: the traffic echo as it grows, and which request
// the reading is waiting on.
class ReadingListener : public TrafficListener {
  public:
    // The register (or reply) the reading now waits for, in the meter's own terms ("已用邮资").
    virtual void waiting(std::string_view what) = 0;
    // A poll boundary: the reading is about to look at the line for the `count`-th time (1, 2,
    // ...). For whoever keeps the exchange, as a capture does; a front end need not listen.
    virtual void polled(std::int64_t count) { (void)count; }
};

} // namespace meter
