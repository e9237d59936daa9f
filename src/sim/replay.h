// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A recorded meter played back: what the meter sent after each of the reader's writes goes out
// again, chunk by chunk, at the time it came after that write. What the reader sends is
// compared with what was recorded; a difference is reported and the meter answers as recorded
// all the same, counting the reader's bytes against the recorded writes. Pure, like Meter.
#include "core/bytes.h"
#include "core/reason.h"
#include "sim/responder.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace meter::sim {

// One recorded event of the line, at milliseconds since the reading started.
struct Recorded {
    enum class Kind {
        write, // the bytes of one write of the reader
        read,  // the bytes one read of the reader returned
        lost,  // the line went dead
        poll,  // the reader looked at the line: the reads up to the next look are what it read
    };
    Kind kind = Kind::write;
    std::int64_t ms = 0;
    Bytes bytes;
};

class Replay : public Responder {
  public:
    explicit Replay(const std::vector<Recorded>& events);

    std::vector<Emission> receive(ByteView bytes, std::int64_t nowms = 0) override;
    void sent(ByteView bytes) const override;

    // One line per event, as the simulated meter logs them: "rx ..." and "tx ...".
    void onlog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

    // Each difference between what the reader sends and what was recorded, as it is found: the
    // first differing byte of a write, and the first byte beyond the last recorded write.
    void ondifference(std::function<void(const Reason&)> report) { report_ = std::move(report); }
    const std::vector<Reason>& differences() const { return differences_; }

    std::size_t writes() const { return writes_.size(); }
    // The recorded writes the reader has made in full so far.
    std::size_t writesdone() const { return next_; }

  private:
    struct Write {
        std::int64_t ms = 0;
        Bytes bytes;
        // What followed it before the next write: reads, and the line going dead.
        std::vector<Recorded> answer;
    };
    void differs(Reason why);

    std::vector<Write> writes_;
    std::size_t next_ = 0;   // the write being received
    std::size_t offset_ = 0; // bytes of it received
    bool reported_ = false;  // a difference in the write being received was reported
    std::size_t beyond_ = 0; // bytes received after the last recorded write
    std::int64_t busyuntil_ = 0;
    std::vector<Reason> differences_;
    std::function<void(const Reason&)> report_;
    std::function<void(const std::string&)> log_;
};

} // namespace meter::sim
