// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/scripteddevice.h"

#include "core/metererror.h"

#include <algorithm>

namespace meter {

ScriptedDevice::ScriptedDevice(Clock now) : now_(std::move(now)) {}

void ScriptedDevice::deliver(ByteView bytes, std::int64_t atms) {
    // Bytes arrive in time order; bytes scheduled for the same moment keep their order.
    auto pos = std::upper_bound(incoming_.begin(), incoming_.end(), atms,
                                [](std::int64_t t, const Arrival& a) { return t < a.atms; });
    std::vector<Arrival> batch;
    batch.reserve(bytes.size());
    for (std::uint8_t b : bytes)
        batch.push_back({atms, b});
    incoming_.insert(pos, batch.begin(), batch.end());
}

Bytes ScriptedDevice::written() const {
    Bytes all;
    for (const auto& w : writes_)
        all.insert(all.end(), w.begin(), w.end());
    return all;
}

void ScriptedDevice::open(int port) {
    if (refuse_) throw MeterError(refuse_);
    if (port < 1) throw MeterError(Reason(ReasonCode::port_no_device, port));
    // A fresh port has an empty receive buffer: bytes that have arrived by this moment are gone.
    const auto t = now_();
    while (!incoming_.empty() && incoming_.front().atms <= t)
        incoming_.pop_front();
    open_ = true;
    opens_.push_back({port, settings_});
}

void ScriptedDevice::close() {
    if (open_) ++closes_;
    open_ = false;
}

void ScriptedDevice::checkline(bool writing) const {
    if (!open_)
        throw MeterError(
            Reason(writing ? ReasonCode::write_port_closed : ReasonCode::read_port_closed));
    if (dropat_ && *dropat_ <= now_())
        throw MeterError(
            Reason(writing ? ReasonCode::line_lost_write : ReasonCode::line_lost_read));
}

void ScriptedDevice::write(ByteView bytes) {
    checkline(true);
    writes_.emplace_back(bytes.begin(), bytes.end());
    if (onwrite_) onwrite_(*this, bytes);
}

std::size_t ScriptedDevice::byteswaiting() {
    checkline(false);
    const auto t = now_();
    return static_cast<std::size_t>(std::count_if(incoming_.begin(), incoming_.end(),
                                                  [t](const Arrival& a) { return a.atms <= t; }));
}

Bytes ScriptedDevice::readall() {
    checkline(false);
    ++reads_;
    const auto t = now_();
    Bytes out;
    while (!incoming_.empty() && incoming_.front().atms <= t) {
        out.push_back(incoming_.front().byte);
        incoming_.pop_front();
    }
    return out;
}

std::string ScriptedDevice::describe(int port) const {
    return port < 1 ? std::string() : "scripted:" + std::to_string(port);
}

} // namespace meter
