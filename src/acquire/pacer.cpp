// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/pacer.h"

#include "core/metererror.h"

#include <chrono>

namespace meter {

void RealPacer::sleep(int ms) {
    if (cancellation_.waitfor(ms)) throw ReadingCancelled();
}

void RealPacer::processevents() {
    if (hook_) hook_();
    throwifcancelled();
}

std::int64_t RealPacer::nowms() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void RealPacer::throwifcancelled() const {
    if (cancelled()) throw ReadingCancelled();
}

void VirtualPacer::check() const {
    if (cancelat_ >= 0 && now_ >= cancelat_) throw ReadingCancelled();
}

} // namespace meter
