// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Time as a reading sees it: the fixed sleeps between polls and the moments where the host may
// run (repaint, react to the operator). Injected, so that tests run readings on virtual time.
#include "core/cancellation.h"

#include <cstdint>
#include <functional>

namespace meter {

class Pacer {
  public:
    virtual ~Pacer() = default;
    // Waits `ms` milliseconds. Throws MeterError when the reading has been cancelled.
    virtual void sleep(int ms) = 0;
    // Lets the host process what is pending. Throws MeterError when the reading has been
    // cancelled.
    virtual void processevents() = 0;
    // Monotonic milliseconds, for progress reports.
    virtual std::int64_t nowms() const = 0;
};

// Real time. cancel() may be called from any thread: a sleep in progress ends at once and the
// reading ends at its failure end.
class RealPacer : public Pacer {
  public:
    void sleep(int ms) override;
    void processevents() override;
    std::int64_t nowms() const override;

    void cancel() { cancellation_.cancel(); }
    // Ready for the next reading after a cancel.
    void reset() { cancellation_.reset(); }
    bool cancelled() const { return cancellation_.cancelled(); }
    // The flag itself, for whatever else the reading waits on (the line, the vendor library).
    Cancellation& cancellation() { return cancellation_; }
    // Called on every processevents(), on the reading's thread.
    void onevents(std::function<void()> hook) { hook_ = std::move(hook); }

  private:
    void throwifcancelled() const;

    Cancellation cancellation_;
    std::function<void()> hook_;
};

// Virtual time for tests: a sleep moves the clock on at once.
class VirtualPacer : public Pacer {
  public:
    void sleep(int ms) override {
        now_ += ms;
        ++sleeps_;
        check();
    }
    void processevents() override {
        ++events_;
        if (hook_) hook_();
        check();
    }
    std::int64_t nowms() const override { return now_; }

    void advance(std::int64_t ms) { now_ += ms; }
    int sleeps() const { return sleeps_; }
    int events() const { return events_; }
    // The reading is cancelled from this moment of virtual time on.
    void cancelat(std::int64_t ms) { cancelat_ = ms; }
    void onevents(std::function<void()> hook) { hook_ = std::move(hook); }

  private:
    void check() const;

    std::int64_t now_ = 0;
    std::int64_t cancelat_ = -1;
    int sleeps_ = 0;
    int events_ = 0;
    std::function<void()> hook_;
};

} // namespace meter
