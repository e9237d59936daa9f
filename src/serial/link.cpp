// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/link.h"

#include "core/hexecho.h"
#include "core/metererror.h"

#include <algorithm>

namespace meter {

SerialLink::SerialLink(SerialDevice& device, TrafficListener* listener)
    : device_(device), listener_(listener) {}

void SerialLink::begin() {
    txtsend_.clear();
    txtrece_.clear();
    received_ = 0;
    openfailure_ = {};
}

bool SerialLink::openport(const std::optional<LineSettings>& settings, std::int16_t port) {
    openfailure_ = {};
    try {
        if (device_.isopen()) device_.close();
        if (settings) device_.setsettings(*settings);
        device_.open(port);
        return true;
    } catch (const ReadingCancelled&) {
        throw;
    } catch (const MeterError& e) {
        openfailure_ = e.reason();
    } catch (const std::exception& e) {
        openfailure_ =
            Reason(ReasonCode::port_not_opened, port, Reason(ReasonCode::system_message, e.what()));
    }
    try {
        if (device_.isopen()) device_.close();
    } catch (...) {
        // The port is being given up anyway.
    }
    return false;
}

void SerialLink::closeport() {
    if (device_.isopen()) device_.close();
}

void SerialLink::sendbytes(ByteView frame) {
    if (device_.isopen()) device_.write(frame);
    appendsent(hexecho(frame) + ',');
}

void SerialLink::send(ByteView bytes, std::size_t echoed) {
    device_.write(bytes);
    appendsent(hexecho(bytes.first(std::min(echoed, bytes.size()))) + ',');
}

void SerialLink::write(ByteView bytes) {
    device_.write(bytes);
}

void SerialLink::echoreceived(ByteView bytes) {
    if (!bytes.empty()) appendreceived(hexecho(bytes));
}

void SerialLink::echoreceivedcomma() {
    appendreceived(",");
}

void SerialLink::appendsent(const std::string& text) {
    txtsend_ += text;
    if (listener_) listener_->sent(text);
}

void SerialLink::appendreceived(const std::string& text) {
    txtrece_ += text;
    if (listener_) listener_->received(text);
}

} // namespace meter
