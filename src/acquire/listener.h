// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "serial/traffic.h"

#include <string_view>

namespace meter {

// What a front end hears of a running reading: the traffic echo as it grows, and which request
// the reading is waiting on.
class ReadingListener : public TrafficListener {
  public:
    // The register (or reply) the reading now waits for, in the meter's own terms ("已用邮资").
    virtual void waiting(std::string_view what) = 0;
};

} // namespace meter
