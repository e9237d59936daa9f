// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/replay.h"

#include "core/keptreason.h"
#include "core/metererror.h"

#include <algorithm>
#include <optional>

namespace meter {

namespace {

bool iscancel(const Reason& why) {
    return why.code() == ReasonCode::cancelled || why.code() == ReasonCode::cancelled_by_operator;
}

// The recorded failure as it unwound the reading: a cancellation ends it as cancelled.
[[noreturn]] void rethrow(const Reason& why) {
    if (iscancel(why)) throw ReadingCancelled();
    throw MeterError(why);
}

} // namespace

CaptureReplay::CaptureReplay(const Capture& capture, ReadingListener* listener)
    : capture_(capture), device_(*this), vendor_(*this), pacer_(*this),
      listener_(listener, [this](std::int64_t count) { poll_ = count; }) {
    load(capture.events, !capture.again);
}

void CaptureReplay::again() {
    chunks_.clear();
    failures_.clear();
    calls_.clear();
    poll_ = 0;
    cancelafter_ = -1;
    load(capture_.second, true);
}

void CaptureReplay::load(const std::vector<CaptureEvent>& events, bool last) {
    using Kind = CaptureEvent::Kind;
    std::int64_t poll = 0;
    bool cancelheld = false;
    for (const CaptureEvent& e : events) {
        switch (e.kind) {
        case Kind::poll:
            poll = e.count;
            break;
        case Kind::rx:
            chunks_.push_back({poll, e.bytes});
            break;
        case Kind::tx:
            recordedwrites_.push_back(e.bytes);
            break;
        case Kind::error:
            failures_.emplace_back(poll, &e);
            cancelheld = cancelheld || iscancel(e.why);
            break;
        case Kind::vendor:
            calls_.push_back(&e);
            cancelheld = cancelheld || iscancel(e.why);
            break;
        }
    }
    if (last && capture_.outcome.end == "cancelled" && !cancelheld) cancelafter_ = poll;
}

Reason CaptureReplay::firstwritedifference() const {
    const std::vector<Bytes>& made = device_.writes;
    for (std::size_t i = 0; i < made.size(); ++i) {
        if (i >= recordedwrites_.size()) return Reason(ReasonCode::capture_write_extra, i + 1);
        const Bytes& a = made[i];
        const Bytes& b = recordedwrites_[i];
        const auto [x, y] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
        if (x != a.end() || y != b.end())
            return Reason(ReasonCode::capture_write_differs, i + 1, x - a.begin() + 1);
    }
    return {};
}

void CaptureReplay::failifrecorded(std::string_view call) {
    for (auto it = failures_.begin(); it != failures_.end(); ++it) {
        if (it->second->call == call && it->first <= poll_) {
            const Reason why = it->second->why;
            failures_.erase(it);
            rethrow(why);
        }
    }
}

std::size_t CaptureReplay::readable() const {
    std::size_t n = 0;
    for (const Chunk& c : chunks_) {
        if (c.poll > poll_) break;
        n += c.bytes.size();
    }
    return n;
}

void CaptureReplay::Device::open(int /*port*/) {
    r_.failifrecorded("open");
    open_ = true;
}

void CaptureReplay::Device::write(ByteView bytes) {
    r_.failifrecorded("write");
    writes.emplace_back(bytes.begin(), bytes.end());
}

std::size_t CaptureReplay::Device::byteswaiting() {
    r_.failifrecorded("byteswaiting");
    return r_.readable();
}

Bytes CaptureReplay::Device::readall() {
    r_.failifrecorded("readall");
    Bytes got;
    while (!r_.chunks_.empty() && r_.chunks_.front().poll <= r_.poll_) {
        const Bytes& b = r_.chunks_.front().bytes;
        got.insert(got.end(), b.begin(), b.end());
        r_.chunks_.pop_front();
    }
    return got;
}

std::string CaptureReplay::Device::describe(int /*port*/) const {
    return r_.capture_.header.device;
}

const CaptureEvent& CaptureReplay::Vendor::next(const char* call) {
    if (r_.calls_.empty()) throw MeterError(Reason(ReasonCode::capture_no_vendor_call, call));
    const CaptureEvent& e = *r_.calls_.front();
    if (e.call != call)
        throw MeterError(Reason(ReasonCode::capture_other_vendor_call, call, e.call));
    r_.calls_.pop_front();
    if (e.why) rethrow(e.why);
    return e;
}

std::int32_t CaptureReplay::Vendor::ComOpen(std::int32_t) {
    return next("ComOpen").number;
}

std::string CaptureReplay::Vendor::ReadRegister(std::int32_t) {
    return next("ReadRegister").text;
}

std::int32_t CaptureReplay::Vendor::ComClose(std::int32_t) {
    return next("ComClose").number;
}

std::string CaptureReplay::Vendor::lasterror() {
    return next("lasterror").text;
}

void CaptureReplay::Clock::sleep(int ms) {
    if (r_.cancelafter_ >= 0 && r_.poll_ >= r_.cancelafter_) {
        // Cancelled during this sleep, at the time the reading ended.
        now_ = std::max(now_, r_.capture_.outcome.ms);
        throw ReadingCancelled();
    }
    now_ += ms;
}

namespace {

// How a reading ended, in words.
Reason endwords(const std::string& end) {
    if (end == "normal") return Reason(ReasonCode::capture_end_normal);
    if (end == "failure") return Reason(ReasonCode::capture_end_failure);
    if (end == "cancelled") return Reason(ReasonCode::capture_end_cancelled);
    return Reason(ReasonCode::capture_end_other, end);
}

// The reason an outcome keeps, in words: read back from its code and English text; a reason
// this version has no words for stays as it was kept.
Reason reasonwords(const CaptureOutcome& outcome) {
    if (outcome.reasoncode.empty()) return Reason(ReasonCode::capture_no_reason);
    if (std::optional<Reason> why = keptreason(outcome.reasoncode, outcome.reason)) return *why;
    return Reason(ReasonCode::system_message,
                  outcome.reason.empty() ? outcome.reasoncode : outcome.reason);
}

} // namespace

Reason outcomedifference(const CaptureOutcome& recorded, const CaptureOutcome& replayed) {
    if (recorded.end != replayed.end)
        return Reason(ReasonCode::capture_differs_end, endwords(recorded.end),
                      endwords(replayed.end));
    if (recorded.reasoncode != replayed.reasoncode)
        return Reason(ReasonCode::capture_differs_reason, reasonwords(recorded),
                      reasonwords(replayed));
    if (recorded.record != replayed.record)
        return Reason(ReasonCode::capture_differs_record, recorded.record, replayed.record);
    return {};
}

} // namespace meter
