// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial device of a real line, over the operating system's own calls: termios on POSIX
// systems (posixdevice.cpp), the Win32 communications functions on Windows (win32device.cpp).
// Opening applies the line settings, raw binary, no handshaking, DTR asserted, and empties the
// receive buffer; reads never block; a write waits for the line at most writetimeoutms and
// gives up at once when the reading is cancelled.
#include "core/cancellation.h"
#include "core/metererror.h"
#include "serial/device.h"
#include "serial/portmap.h"

#include <chrono>
#include <memory>
#include <string>

namespace meter {

// How long a write may wait for the line to take its bytes before the line counts as lost.
// Frames are at most a few hundred bytes, so this is generous even at 4800 baud.
inline constexpr int writetimeoutms = 2000;
// A waiting write looks at the reading's cancellation this often.
inline constexpr int writeslicems = 20;

// What the devices of both systems keep alike: the port map, the settings for the next open,
// the reading's cancellation, the steps of an open and the wait of a write. Each system
// supplies how a device is acquired, set up and written to, and what it says of a lost line.
class NativeSerialDevice : public SerialDevice {
  public:
    explicit NativeSerialDevice(PortMap map) : map_(std::move(map)) {}

    void setsettings(const LineSettings& settings) override { settings_ = settings; }
    LineSettings settings() const override { return settings_; }
    void setcancellation(const Cancellation* cancellation) override { cancel_ = cancellation; }
    std::string describe(int port) const override { return map_.devicefor(port); }

    void open(int port) final {
        close();
        const Line line = lineof(port);
        acquire(line);
        path_ = line.path;
        try {
            setup(line);
        } catch (...) {
            close();
            throw;
        }
    }

    void write(ByteView bytes) final {
        requireopen(Use::write);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(writetimeoutms);
        for (std::size_t done = 0; done < bytes.size();) {
            done += writesome(bytes.subspan(done));
            if (done < bytes.size()) checkwait(deadline);
        }
    }

  protected:
    struct Line {
        int port;         // the port number
        std::string path; // the device behind it; reasons name both: "port 3 (/dev/ttyS2)"
    };
    enum class Use { read, write };

    // Takes hold of the device of `line`; throws MeterError with the system's reason when it
    // cannot. Nothing is held when it throws.
    virtual void acquire(const Line& line) = 0;
    // Puts the held device into the settings and mode of an open port and empties its receive
    // buffer; throws MeterError naming the device of `line` when it cannot.
    virtual void setup(const Line& line) = 0;
    // Writes what the line takes of `bytes`, waiting at most about writeslicems for room; the
    // count written, possibly 0. Throws MeterError when the line is lost.
    virtual std::size_t writesome(ByteView bytes) = 0;
    // Why the line to `path` was lost (while writing or not), in the system's words.
    virtual Reason lostreason(const std::string& path, bool writing) const = 0;

    void requireopen(Use use) const {
        if (!isopen())
            throw MeterError(Reason(use == Use::write ? ReasonCode::write_port_closed
                                                      : ReasonCode::read_port_closed));
    }
    [[noreturn]] void lost(bool writing = false) const {
        throw MeterError(lostreason(path_, writing));
    }

    LineSettings settings_;

  private:
    // The device behind `port`; throws MeterError when no device stands behind it.
    Line lineof(int port) const {
        std::string path = map_.devicefor(port);
        if (path.empty()) throw MeterError(Reason(ReasonCode::port_no_device_numbered, port));
        return {port, std::move(path)};
    }
    // For a write waiting for the line: throws ReadingCancelled when the reading was cancelled,
    // MeterError when the wait has run out.
    void checkwait(std::chrono::steady_clock::time_point deadline) const {
        if (cancel_ && cancel_->cancelled()) throw ReadingCancelled();
        if (std::chrono::steady_clock::now() >= deadline)
            throw MeterError(Reason(ReasonCode::line_write_stalled, path_, writetimeoutms / 1000));
    }

    PortMap map_;
    const Cancellation* cancel_ = nullptr;
    std::string path_; // the device held, for reasons
};

// The device of this operating system, with the ports of `map` behind the port numbers.
std::unique_ptr<SerialDevice> makeserialdevice(PortMap map);

} // namespace meter
