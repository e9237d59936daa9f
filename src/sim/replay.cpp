// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/replay.h"

#include "core/hexecho.h"

#include <algorithm>

namespace meter::sim {

Replay::Replay(const std::vector<Recorded>& events) {
    // What the meter sent before the first write (the reader discards it on opening the port)
    // goes out with the answer to the first write, at once.
    std::vector<Recorded> early;
    // A read's time is that of the look at the line that read it; the meter sent those bytes
    // after the look before it (or the write, or the chunk before, if later). They go out
    // half-way between, so that the same look reads them again, whichever way the times of
    // the reader and the meter drift by a little.
    std::int64_t look = -1, before = 0, since = 0;
    for (Recorded e : events) {
        if (e.kind == Recorded::Kind::poll) {
            before = look < 0 ? 0 : look;
            look = e.ms;
            continue;
        }
        if (e.kind == Recorded::Kind::write && !e.bytes.empty()) since = e.ms;
        if (e.kind == Recorded::Kind::read && !e.bytes.empty() && look >= 0) {
            const std::int64_t from = std::max(before, since);
            if (e.ms > from) e.ms = from + (e.ms - from) / 2;
            since = std::max(since, e.ms);
        }
        if (e.kind == Recorded::Kind::write) {
            if (e.bytes.empty()) continue;
            writes_.push_back({e.ms, e.bytes, {}});
            if (writes_.size() == 1)
                for (Recorded& r : early)
                    writes_.back().answer.push_back({r.kind, e.ms, std::move(r.bytes)});
        } else if (!e.bytes.empty() || e.kind == Recorded::Kind::lost) {
            (writes_.empty() ? early : writes_.back().answer).push_back(e);
        }
    }
}

void Replay::differs(Reason why) {
    if (report_) report_(why);
    differences_.push_back(std::move(why));
}

void Replay::sent(ByteView bytes) const {
    if (log_) log_("tx" + hexecho(bytes));
}

std::vector<Emission> Replay::receive(ByteView bytes, std::int64_t nowms) {
    std::vector<Emission> out;
    if (log_ && !bytes.empty()) log_("rx" + hexecho(bytes));
    for (const std::uint8_t b : bytes) {
        if (next_ >= writes_.size()) {
            if (beyond_++ == 0) differs(Reason(ReasonCode::replay_write_beyond, writes_.size()));
            continue;
        }
        const Write& w = writes_[next_];
        if (b != w.bytes[offset_] && !reported_) {
            reported_ = true;
            differs(Reason(ReasonCode::replay_write_differs, next_ + 1, offset_ + 1, hexpair(b),
                           hexpair(w.bytes[offset_])));
        }
        if (++offset_ < w.bytes.size()) continue;
        // The write is in: its answer goes out at the times it followed the write, never before
        // the previous answer is out, so that chunks keep their order.
        for (const Recorded& r : w.answer) {
            const std::int64_t at =
                std::max(nowms + std::max<std::int64_t>(r.ms - w.ms, 0), busyuntil_);
            busyuntil_ = at;
            out.push_back({static_cast<int>(at - nowms), r.bytes, r.kind == Recorded::Kind::lost});
        }
        ++next_;
        offset_ = 0;
        reported_ = false;
    }
    return out;
}

} // namespace meter::sim
