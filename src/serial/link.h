// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial link of a reading: opens the port with the line settings it is given, writes
// frames, hands received bytes to the protocol families and keeps the hexadecimal echo of
// all traffic (txt_send, txt_rece).
#include "core/bytes.h"
#include "core/reason.h"
#include "serial/device.h"
#include "serial/traffic.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace meter {

class SerialLink {
  public:
    explicit SerialLink(SerialDevice& device, TrafficListener* listener = nullptr);

    // A new reading: both traffic texts start empty.
    void begin();

    // Opens the port `port` with `settings` (none: the settings of the last open stay); an open
    // port is closed first. Never raises: any failure gives false, and openfailure() says why.
    bool openport(const std::optional<LineSettings>& settings, std::int16_t port);
    const Reason& openfailure() const { return openfailure_; }

    // Closes the port when it is open.
    void closeport();

    // Writes the frame when the port is open (nothing otherwise) and echoes it, closed by ",".
    void sendbytes(ByteView frame);

    // Writes all the bytes (raising when the port is closed) and echoes the first `echoed` of
    // them, closed by ",".
    void send(ByteView bytes, std::size_t echoed);

    // Writes bytes without echo (the Pitney acknowledgement block).
    void write(ByteView bytes);

    // The receive echo; a received group is closed by "," where the family says so.
    void echoreceived(ByteView bytes);
    void echoreceivedcomma();

    // Counts bytes read from the line, echoed or not; begin() starts the count again.
    void countreceived(std::size_t bytes) { received_ += bytes; }
    std::size_t received() const { return received_; }

    const std::string& txtsend() const { return txtsend_; }
    const std::string& txtrece() const { return txtrece_; }

    SerialDevice& device() { return device_; }

  private:
    void appendsent(const std::string& text);
    void appendreceived(const std::string& text);

    SerialDevice& device_;
    TrafficListener* listener_;
    std::string txtsend_;
    std::string txtrece_;
    std::size_t received_ = 0;
    Reason openfailure_;
};

} // namespace meter
