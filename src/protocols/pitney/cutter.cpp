// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocols/pitney/pitney.h"

namespace meter {

void PitneyCutter::open() {
    frame_.fill(0x00);
    frame_[0] = ascii::stx;
    inside_ = true;
    count_ = 0;
}

void PitneyCutter::close(std::vector<PitneyFrame>& done, bool handover) {
    if (handover) done.push_back(frame_);
    inside_ = false;
    carried_ = false;
    own_ = false;
    count_ = 0;
}

void PitneyCutter::closeifsettled(std::vector<PitneyFrame>& done) {
    // A frame that is no register's reply decodes to nothing.
    if (count_ >= 2 && !pitneyreply(frame_[2])) {
        close(done, false);
        return;
    }
    const PitneyValueSpan span = pitneyvaluespan(frame_);
    if (span.last > count_) return;
    // The poll's own frame goes to the decoder as it stands, faults and all; any other only
    // when it decodes cleanly.
    close(done, own_ || !span.faulty);
}

bool PitneyCutter::handedover() const {
    if (own_) return true;
    if (!pitneyreply(frame_[2])) return false;
    const PitneyValueSpan span = pitneyvaluespan(frame_);
    return span.last <= count_ && !span.faulty;
}

PitneyCut PitneyCutter::cut(ByteView bytes) {
    std::vector<PitneyFrame> done;
    carried_ = inside_;
    own_ = false;
    bool started = false; // a frame has begun in this poll
    for (std::uint8_t b : bytes) {
        // A reply that begins ends a frame left over from an earlier poll.
        if (inside_ && carried_ && b == ascii::stx) close(done, false);
        if (!inside_) {
            // Bytes between frames (line noise, the rest of a reply that is not ours) are
            // skipped until the next STX.
            if (b == ascii::stx) {
                open();
                own_ = !started;
                started = true;
            }
            continue;
        }
        // Stuffing keeps STX out of a reply's inside, but a frame whose ETX got lost runs on
        // into whatever follows; it is bounded by the frame buffer.
        if (count_ + 1 >= frame_.size()) {
            if (own_) return {{}, Reason(ReasonCode::frame_runs_on)};
            close(done, false);
            if (b == ascii::stx) open();
            continue;
        }
        frame_[++count_] = b;
        if (b == ascii::etx) {
            close(done, handedover());
            continue;
        }
        if (carried_ && count_ >= 2) closeifsettled(done);
    }
    // The poll ends inside a frame: hand it over once its value is complete; carry it over to
    // the next poll while it may still become a register's reply.
    if (inside_) closeifsettled(done);
    return {std::move(done), {}};
}

} // namespace meter
