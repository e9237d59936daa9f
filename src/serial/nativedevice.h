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
// the reading's cancellation, and the checks around opening and a waiting write.
class NativeSerialDevice : public SerialDevice {
  public:
    explicit NativeSerialDevice(PortMap map) : map_(std::move(map)) {}

    void setsettings(const LineSettings& settings) override { settings_ = settings; }
    LineSettings settings() const override { return settings_; }
    void setcancellation(const Cancellation* cancellation) override { cancel_ = cancellation; }
    std::string describe(int port) const override { return map_.devicefor(port); }

  protected:
    struct Line {
        std::string path;  // the device behind the port
        std::string named; // how reasons name it: "port 3 (/dev/ttyS2)"
    };
    // The device behind `port`; throws MeterError when no device stands behind it.
    Line lineof(int port) const {
        const std::string path = map_.devicefor(port);
        const std::string which = "port " + std::to_string(port);
        if (path.empty()) throw MeterError(which + " has no device (ports are numbered from 1)");
        return {path, which + " (" + path + ")"};
    }
    // For a write waiting for the line to `path`: throws MeterError when the reading was
    // cancelled or the wait has run out.
    void checkwait(std::chrono::steady_clock::time_point deadline, const std::string& path) const {
        if (cancel_ && cancel_->cancelled()) throw ReadingCancelled();
        if (std::chrono::steady_clock::now() >= deadline)
            throw MeterError("the line to " + path + " did not take the bytes within " +
                             std::to_string(writetimeoutms / 1000) + " s");
    }

    LineSettings settings_;

  private:
    PortMap map_;
    const Cancellation* cancel_ = nullptr;
};

// The device of this operating system, with the ports of `map` behind the port numbers.
std::unique_ptr<SerialDevice> makeserialdevice(PortMap map);

} // namespace meter
