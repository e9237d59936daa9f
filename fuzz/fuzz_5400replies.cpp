// SPDX-License-Identifier: GPL-3.0-or-later
// 5400 replies without a driver: the scanner and the decoder alone on arbitrary blocks at
// arbitrary steps, fast enough for millions of inputs. Input as for fuzz_5400: one byte for the
// machine type (even 12, odd 13), then blocks, each as a step byte, a length byte and that many
// bytes. A reply handed over must begin with its header, hold every position its step decodes
// and fit the reply buffer; decoding may only fail with a reason, and rxtext only ever holds
// digits and grows by whole fields.
#include "invariants.h"
#include "protocols/5400/reply5400.h"

#include <cstdlib>
#include <string>

using namespace meter::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace meter;
    if (size == 0) return 0;
    const PostageScale scale = (data[0] & 1) ? PostageScale::tens : PostageScale::units;
    Scanner5400 scanner;
    std::string rxtext;
    std::size_t at = 1;
    while (at + 2 <= size) {
        const auto step = static_cast<std::int16_t>(static_cast<std::int8_t>(data[at]));
        std::size_t n = data[at + 1];
        at += 2;
        if (n > size - at) n = size - at;
        const auto reply = scanner.feed(ByteView(data + at, n), step);
        at += n;
        if (!reply) continue;
        const Bytes& r = reply->bytes;
        if (r.size() < replyneeds5400(reply->step) || r[0] != 0x63 || r[1] != 0x63 ||
            r[2] != 0xFE || r[6] != 0x81)
            std::abort();
        // A reply that runs on is a clean fault: the reading would end at its failure end.
        if (r.size() > replybuffer5400) {
            if (!reply->fault) std::abort();
            return 0;
        }
        if (reply->fault) std::abort();
        const std::string before = rxtext;
        const Decoded got = parse5400(r, reply->step, scale, rxtext);
        if (!got.ok()) {
            if (rxtext != before) std::abort(); // a faulty reply adds nothing
            return 0;
        }
        if (!digitsonly(rxtext)) std::abort();
        if (reply->step == 1) {
            if (rxtext.size() != 10 || rxtext.compare(0, 4, "0000") != 0) std::abort();
        } else if (rxtext.size() != before.size() + fieldgrowth5400(reply->step) ||
                   rxtext.compare(0, before.size(), before) != 0) {
            std::abort();
        }
    }
    return 0;
}
