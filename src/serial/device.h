// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial communications component a reading talks through: a port selected by its number,
// line settings, DTR asserted while open, raw bytes in and out. Implemented over the operating
// system's serial calls for real lines (nativedevice.h) and in memory for tests.
#include "core/bytes.h"
#include "core/linesettings.h"

#include <cstddef>
#include <string>

namespace meter {

class Cancellation;

class SerialDevice {
  public:
    virtual ~SerialDevice() = default;

    virtual bool isopen() const = 0;
    // Kept until changed; applied by the next open.
    virtual void setsettings(const LineSettings& settings) = 0;
    virtual LineSettings settings() const = 0;
    // Opens the device behind port number `port` with the current settings, raw binary, no
    // handshaking, DTR asserted, with an empty receive buffer: nothing that arrived before the
    // open is read. Throws MeterError with the reason when it cannot.
    virtual void open(int port) = 0;
    virtual void close() = 0;
    // Hands the bytes to the line. A device that may have to wait for the line bounds the wait
    // and gives up when `cancellation` (if set) is cancelled. Throws MeterError when the port
    // is closed, the line is lost or the reading was cancelled.
    virtual void write(ByteView bytes) = 0;
    // The flag of the reading whose writes may wait; null for none. Kept until changed.
    virtual void setcancellation(const Cancellation* cancellation) { (void)cancellation; }
    // Bytes received and not yet read. Throws MeterError when the line is lost.
    virtual std::size_t byteswaiting() = 0;
    // Every byte received and not yet read (possibly none), removed from the receive buffer.
    // Throws MeterError when the port is closed or the line is lost.
    virtual Bytes readall() = 0;
    // What stands behind port number `port` (a device path), empty when nothing does.
    virtual std::string describe(int port) const = 0;
};

} // namespace meter
