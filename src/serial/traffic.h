// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Receives the traffic echo as it grows, so that a window or a terminal can show it live.
#include <string_view>

namespace meter {

class TrafficListener {
  public:
    virtual ~TrafficListener() = default;
    // Text appended to the sent-traffic box.
    virtual void sent(std::string_view text) = 0;
    // Text appended to the received-traffic box.
    virtual void received(std::string_view text) = 0;
};

} // namespace meter
