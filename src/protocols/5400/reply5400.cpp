// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocols/5400/reply5400.h"

#include "core/digits.h"
#include "core/hexecho.h"
#include "protocols/5400/request5400.h"

namespace meter {

namespace {

constexpr std::size_t headerlength = 7; // 63 63 FE x x x 81

Decoded tooshort(ByteView reply) {
    return {{}, Reason(ReasonCode::reply_too_short, reply.size())};
}

// The decimal digits of the value bytes at `positions`, in the order given. Every position is
// checked against the reply's end, whatever length the step was thought to need.
template <std::size_t N> Decoded pairs(ByteView reply, const std::size_t (&positions)[N]) {
    Decoded d;
    for (std::size_t p : positions) {
        if (p >= reply.size()) return tooshort(reply);
        const std::optional<std::string> pair = unpackbcd(reply[p]);
        if (!pair) return {{}, Reason(ReasonCode::not_packed_decimal, hexpair(reply[p]))};
        d.digits += *pair;
    }
    return d;
}

} // namespace

std::size_t replyneeds5400(std::int16_t step) {
    switch (step) {
    case 1:
        return 11;
    case 2:
    case 3:
        return 13;
    case 4:
        return 12;
    default:
        return headerlength;
    }
}

Decoded parse5400(ByteView reply, std::int16_t step, PostageScale scale, std::string& rxtext) {
    if (reply.size() < replyneeds5400(step)) return tooshort(reply);
    Decoded d;
    switch (step) {
    case 1:
        d = pairs(reply, {10, 9, 8});
        if (!d.ok()) return d;
        d.digits = "0000" + d.digits;
        rxtext = d.digits;
        return d;
    case 2:
    case 3:
        d = pairs(reply, {12, 11, 10, 9, 8});
        if (!d.ok()) return d;
        d.digits = scale == PostageScale::tens ? "0" + d.digits + "0" : "00" + d.digits;
        rxtext += d.digits;
        return d;
    case 4:
        d = pairs(reply, {11, 10, 9, 8});
        if (!d.ok()) return d;
        d.digits = "00" + d.digits;
        rxtext += d.digits;
        return d;
    default:
        return d;
    }
}

std::optional<Reply5400> Scanner5400::feed(ByteView block, std::int16_t step) {
    held_.insert(held_.end(), block.begin(), block.end());
    if (inreply_) return complete(replystep_);

    // Look for the first header in what is held (a candidate kept from the last block, if any)
    // and the new block. A candidate the block ends in is kept whole for the next block.
    const std::size_t size = held_.size();
    for (std::size_t j = 0; j < size; ++j) {
        if (held_[j] != 0x63) continue;
        const bool cutoff =
            j + 1 >= size ||
            (held_[j + 1] == 0x63 && (j + 2 >= size || (held_[j + 2] == 0xFE && j + 6 >= size)));
        if (cutoff) {
            held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(j));
            return std::nullopt;
        }
        if (held_[j + 1] != 0x63 || held_[j + 2] != 0xFE || held_[j + 6] != 0x81) continue;
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(j));
        inreply_ = true;
        replystep_ = step;
        return complete(step);
    }
    held_.clear();
    return std::nullopt;
}

std::optional<Reply5400> Scanner5400::complete(std::int16_t step) {
    if (held_.size() < replyneeds5400(step)) return std::nullopt;
    Reply5400 reply{std::move(held_), step, {}};
    held_.clear();
    inreply_ = false;
    if (reply.bytes.size() > replybuffer5400)
        reply.fault = Reason(ReasonCode::reply_runs_on, reply.bytes.size() - 1);
    return reply;
}

std::string meterdigits5400(std::uint8_t code, std::string_view field, PostageScale scale) {
    switch (code) {
    case 0x0C:
        return lastdigits(field, 6);
    case 0x05:
    case 0x06: {
        const std::string postage = lastdigits(field, 12);
        return scale == PostageScale::tens ? postage.substr(1, 10) : postage.substr(2, 10);
    }
    case 0x08:
        return lastdigits(field, 8);
    default:
        return {};
    }
}

Bytes buildreply5400(std::uint8_t code, std::string_view digits) {
    Bytes r{0x63, 0x63, 0xFE, 0x01, 0x06, code, 0x81, static_cast<std::uint8_t>(digits.size() / 2)};
    const Bytes value = packbcd(digits);
    r.insert(r.end(), value.rbegin(), value.rend());
    r.push_back(0);
    const std::uint16_t crc = *crc16(r, r.size() - 2);
    r.back() = crchigh(crc);
    r.push_back(crclow(crc));
    return r;
}

} // namespace meter
