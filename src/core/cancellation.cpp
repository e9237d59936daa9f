// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/cancellation.h"

#include <chrono>

namespace meter {

void Cancellation::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    wake_.notify_all();
}

void Cancellation::reset() {
    std::lock_guard lock(mutex_);
    cancelled_ = false;
}

bool Cancellation::cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool Cancellation::waitfor(int ms) const {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return cancelled_; });
}

} // namespace meter
