// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one flag that cancels a running reading, shared by everything the reading may wait on:
// the pacer's sleeps, a write waiting for the line, a call into the vendor library's host.
// cancel() may be called from any thread (the window closing, a signal watcher); whoever waits
// checks the flag at least every few tens of milliseconds or waits on it directly.
#include <condition_variable>
#include <mutex>

namespace meter {

class Cancellation {
  public:
    void cancel();
    // Ready for the next reading.
    void reset();
    bool cancelled() const;
    // Waits up to `ms` milliseconds; returns true at once when the reading is (or becomes)
    // cancelled.
    bool waitfor(int ms) const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    bool cancelled_ = false;
};

} // namespace meter
