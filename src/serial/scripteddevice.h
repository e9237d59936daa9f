// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An in-memory serial device on a clock of the caller's choosing (virtual time in tests): the
// meter side schedules bytes to arrive at given times, reacts to what the reader writes, and can
// make the line vanish. Everything the reader did stays on record for the test to inspect.
#include "core/reason.h"
#include "serial/device.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace meter {

class ScriptedDevice : public SerialDevice {
  public:
    using Clock = std::function<std::int64_t()>;
    using WriteHandler = std::function<void(ScriptedDevice&, ByteView written)>;

    explicit ScriptedDevice(Clock now);

    // Meter side.
    void onwrite(WriteHandler handler) { onwrite_ = std::move(handler); }
    // Bytes that have arrived when the reader calls open() are discarded by it, as by a real
    // port, also those delivered for that very moment; bytes scheduled for later stay.
    void deliver(ByteView bytes, std::int64_t atms);
    void deliver(ByteView bytes) { deliver(bytes, now_()); }
    void droplineat(std::int64_t atms) { dropat_ = atms; }
    // Open() refuses with `reason` (none: opens again).
    void refuseopen(Reason reason) { refuse_ = std::move(reason); }
    // The same with words a system would give (empty: opens again).
    void refuseopen(const std::string& words) {
        refuse_ = words.empty() ? Reason() : Reason(ReasonCode::system_message, words);
    }
    std::int64_t now() const { return now_(); }

    // What the reader did.
    struct Open {
        int port;
        LineSettings settings;
    };
    const std::vector<Open>& opens() const { return opens_; }
    const std::vector<Bytes>& writes() const { return writes_; }
    int closes() const { return closes_; }
    bool dtr() const { return open_; }
    int reads() const { return reads_; }
    Bytes written() const; // every byte written, joined

    // SerialDevice
    bool isopen() const override { return open_; }
    void setsettings(const LineSettings& settings) override { settings_ = settings; }
    LineSettings settings() const override { return settings_; }
    void open(int port) override;
    void close() override;
    void write(ByteView bytes) override;
    std::size_t byteswaiting() override;
    Bytes readall() override;
    std::string describe(int port) const override;

  private:
    void checkline(bool writing) const;

    struct Arrival {
        std::int64_t atms;
        std::uint8_t byte;
    };
    Clock now_;
    WriteHandler onwrite_;
    std::deque<Arrival> incoming_;
    std::optional<std::int64_t> dropat_;
    Reason refuse_;
    LineSettings settings_;
    bool open_ = false;
    std::vector<Open> opens_;
    std::vector<Bytes> writes_;
    int closes_ = 0;
    int reads_ = 0;
};

} // namespace meter
