#include "core/metererror.h"
#include "protocols/pitney/pitney.h"

namespace meter {

std::vector<PitneyFrame> PitneyCutter::cut(ByteView bytes) {
    std::vector<PitneyFrame> done;
    for (std::uint8_t b : bytes) {
        if (!inside_) {
            // Bytes between frames (line noise, the rest of a reply that is not ours) are
            // skipped until the next STX.
            if (b == pitneystx) {
                frame_.fill(0x00);
                frame_[0] = b;
                inside_ = true;
                count_ = 0;
            }
            continue;
        }
        // Stuffing keeps STX out of a reply's inside, but a frame whose ETX got lost runs on
        // into whatever follows; it is bounded by the frame buffer.
        if (count_ + 1 >= frame_.size())
            throw MeterError("a reply frame runs past 100 bytes without its end byte 03");
        frame_[++count_] = b;
        if (b == pitneyetx) {
            done.push_back(frame_);
            inside_ = false;
            count_ = 0;
        }
    }
    return done;
}

} // namespace meter
