// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "serial/traffic.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

namespace meter {

// What a front end hears of a running reading: the traffic echo as it grows, and which request
// the reading is waiting on.
class ReadingListener : public TrafficListener {
  public:
    // The register (or reply) the reading now waits for, in the meter's own terms ("已用邮资").
    virtual void waiting(std::string_view what) = 0;
    // A poll boundary: the reading is about to look at the line for the `count`-th time (1, 2,
    // ...). For whoever keeps the exchange, as a capture does; a front end need not listen.
    virtual void polled(std::int64_t count) { (void)count; }
};

// Stands between a reading and its listener (which may be null): passes everything on
// unchanged, and tells `onpoll` of each poll boundary before the listener hears it.
class PollTap : public ReadingListener {
  public:
    PollTap(ReadingListener* inner, std::function<void(std::int64_t)> onpoll)
        : inner_(inner), onpoll_(std::move(onpoll)) {}
    void sent(std::string_view text) override {
        if (inner_) inner_->sent(text);
    }
    void received(std::string_view text) override {
        if (inner_) inner_->received(text);
    }
    void waiting(std::string_view what) override {
        if (inner_) inner_->waiting(what);
    }
    void polled(std::int64_t count) override {
        onpoll_(count);
        if (inner_) inner_->polled(count);
    }

  private:
    ReadingListener* inner_;
    std::function<void(std::int64_t)> onpoll_;
};

} // namespace meter
