// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/recorder.h"

#include "core/metererror.h"

#include <algorithm>
#include <type_traits>

namespace meter {

CaptureRecorder::CaptureRecorder(SerialDevice& device, VendorLibrary& vendor, const Pacer& pacer,
                                 ReadingListener* listener)
    : pacer_(pacer), device_(*this, device), vendor_(*this, vendor),
      listener_(listener,
                [this](std::int64_t count) { add(CaptureEvent::Kind::poll).count = count; }),
      start_(pacer.nowms()) {}

void CaptureRecorder::begin() {
    events_.clear();
    again_.reset();
    start_ = pacer_.nowms();
}

void CaptureRecorder::again() {
    again_ = events_.size();
    againms_ = std::max(elapsedms(), events_.empty() ? 0 : events_.back().ms);
}

std::int64_t CaptureRecorder::elapsedms() const {
    const std::int64_t ms = pacer_.nowms() - start_;
    return ms < 0 ? 0 : ms;
}

Capture CaptureRecorder::capture(CaptureHeader header, CaptureOutcome outcome) const {
    Capture c;
    c.header = std::move(header);
    c.outcome = std::move(outcome);
    c.outcome.ms = std::max(elapsedms(), events_.empty() ? 0 : events_.back().ms);
    const std::size_t split = again_ ? *again_ : events_.size();
    c.events.assign(events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(split));
    if (again_) {
        c.again = true;
        c.againms = againms_;
        c.second.assign(events_.begin() + static_cast<std::ptrdiff_t>(split), events_.end());
    }
    return c;
}

CaptureEvent& CaptureRecorder::add(CaptureEvent::Kind kind) {
    CaptureEvent& e = events_.emplace_back();
    e.kind = kind;
    // Never before the event ahead of it, whatever the clock did.
    e.ms = std::max(elapsedms(), events_.size() > 1 ? events_[events_.size() - 2].ms : 0);
    return e;
}

// Each device call passes through; one that fails is noted with its reason and fails as it did.
template <class F> auto CaptureRecorder::passing(const char* call, F f) {
    try {
        return f();
    } catch (const MeterError& error) {
        CaptureEvent& e = add(CaptureEvent::Kind::error);
        e.call = call;
        e.why = error.reason();
        throw;
    }
}

void CaptureRecorder::Device::open(int port) {
    r_.passing("open", [&] { inner_.open(port); });
}

void CaptureRecorder::Device::write(ByteView bytes) {
    r_.passing("write", [&] { inner_.write(bytes); });
    r_.add(CaptureEvent::Kind::tx).bytes.assign(bytes.begin(), bytes.end());
}

std::size_t CaptureRecorder::Device::byteswaiting() {
    return r_.passing("byteswaiting", [&] { return inner_.byteswaiting(); });
}

Bytes CaptureRecorder::Device::readall() {
    Bytes got = r_.passing("readall", [&] { return inner_.readall(); });
    if (!got.empty()) r_.add(CaptureEvent::Kind::rx).bytes = got;
    return got;
}

// A vendor call is noted when it returns or fails, so that its time is that of its result.
template <class F> auto CaptureRecorder::Vendor::call(const char* name, std::int32_t port, F f) {
    const auto note = [&]() -> CaptureEvent& {
        CaptureEvent& e = r_.add(CaptureEvent::Kind::vendor);
        e.call = name;
        e.argument = port;
        return e;
    };
    try {
        auto value = f();
        CaptureEvent& e = note();
        if constexpr (std::is_same_v<decltype(value), std::string>)
            e.text = value;
        else
            e.number = value;
        return value;
    } catch (const MeterError& error) {
        note().why = error.reason();
        throw;
    }
}

std::int32_t CaptureRecorder::Vendor::ComOpen(std::int32_t port) {
    return call("ComOpen", port, [&] { return inner_.ComOpen(port); });
}

std::string CaptureRecorder::Vendor::ReadRegister(std::int32_t port) {
    return call("ReadRegister", port, [&] { return inner_.ReadRegister(port); });
}

std::int32_t CaptureRecorder::Vendor::ComClose(std::int32_t port) {
    return call("ComClose", port, [&] { return inner_.ComClose(port); });
}

std::string CaptureRecorder::Vendor::lasterror() {
    return call("lasterror", 0, [&] { return inner_.lasterror(); });
}

} // namespace meter
