// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Readings one after another on one virtual station, each of a random serial machine type
// against random faults on the line (seeded, so a run can be repeated), each checked against
// the promises a reading makes whatever the line does. Shared by the soak test and the soak
// benchmark.
#include "support/virtualstation.h"

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>

namespace meter::testing::soak {

// How long any reading of `code` lasts at most: every wait of its sequence used to the limit
// (5400: 5 single polls and 4 waits of 60 polls of 1 s; "pitneybows 950": 6 single polls and 5
// waits of 90 polls of 100 ms, "pitneybows spark" 50; neopost two receptions of five 800 ms
// polls, 高速机 one).
std::int64_t longestms(std::int16_t code);

// What a meter with `registers` sends in answer to the last request a reader of `code` makes:
// a whole reply of that type, as it may still lie in the receive buffer from an earlier reading.
Bytes lastreply(std::int16_t code, const sim::Registers& registers);

struct Reading {
    std::int16_t code = 0;
    sim::Faults faults;
    bool refused = false;  // the port would not open
    std::size_t stale = 0; // bytes of an earlier reading waiting at open
    std::string record;
    Outcome outcome;
    std::int64_t elapsedms = 0;
    // The promise broken; empty when the reading kept them all.
    std::string broken;

    bool kept() const { return broken.empty(); }
    std::string describe() const;
};

// The reader's serial device for a long run: an in-memory line that is renewed before every
// reading, so that what the test line keeps on record does not pile up over the run. Bytes
// still waiting on the old line move to the new one.
class RenewedLine : public SerialDevice {
  public:
    explicit RenewedLine(ScriptedDevice::Clock now);
    ScriptedDevice& renew();

    bool isopen() const override { return line_->isopen(); }
    void setsettings(const LineSettings& s) override { line_->setsettings(s); }
    LineSettings settings() const override { return line_->settings(); }
    void open(int port) override { line_->open(port); }
    void close() override { line_->close(); }
    void write(ByteView bytes) override { line_->write(bytes); }
    std::size_t byteswaiting() override { return line_->byteswaiting(); }
    Bytes readall() override { return line_->readall(); }
    std::string describe(int port) const override { return line_->describe(port); }

  private:
    ScriptedDevice::Clock now_;
    std::unique_ptr<ScriptedDevice> line_;
};

class Run {
  public:
    explicit Run(std::uint32_t seed);
    Reading next();

    int readnormally() const { return readnormally_; }
    int failed() const { return failed_; }

  private:
    sim::Faults randomfaults(std::int16_t code);
    std::string check(const Reading& r, const sim::Registers& registers) const;
    int upto(int n) { return std::uniform_int_distribution<int>(0, n)(rng_); }
    bool chance(int percent) { return upto(99) < percent; }

    std::mt19937 rng_;
    VirtualPacer pacer_;
    RenewedLine device_{[this] { return pacer_.nowms(); }};
    FakeVendor vendor_;
    Driver driver_{{device_, pacer_, vendor_}};
    std::unique_ptr<sim::Meter> meter_;
    std::map<std::int16_t, Bytes> stalereplies_;
    int readings_ = 0;
    int readnormally_ = 0;
    int failed_ = 0;
};

} // namespace meter::testing::soak
