// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The far end of the line as the servers see it: bytes from the reader go in, the bytes to send
// come back as emissions, each with its delay. The simulated meter and the replay of a recorded
// meter are both one.
#include "core/bytes.h"

#include <cstdint>
#include <vector>

namespace meter::sim {

// Bytes sent `afterms` after the input that caused them arrived; or, with `drop`, the moment the
// line goes dead.
struct Emission {
    int afterms = 0;
    Bytes bytes;
    bool drop = false;
};

class Responder {
  public:
    virtual ~Responder() = default;
    // Bytes from the reader, arriving at `nowms` (any clock, as long as it only moves on);
    // returns what goes out in response, in order.
    virtual std::vector<Emission> receive(ByteView bytes, std::int64_t nowms) = 0;
    // Told of bytes as they go out on the line.
    virtual void sent(ByteView bytes) const = 0;
};

} // namespace meter::sim
