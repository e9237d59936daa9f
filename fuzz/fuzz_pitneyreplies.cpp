// SPDX-License-Identifier: GPL-3.0-or-later
// Pitney replies without a driver: the cutter and the decoder alone on arbitrary bytes over
// arbitrary polls, fast enough for millions of inputs. Input as for fuzz_pitney: one byte (not
// used here), then polls, each a length byte and that many bytes. The cutter must read every
// register value that a poll taken alone reads soundly, in the same poll, and may fault only
// where the poll alone faults; whatever it decodes is digits only.
#include "invariants.h"
#include "protocols/pitney/onepoll.h"

#include <algorithm>
#include <cstdlib>

using namespace meter::fuzzing;

namespace {

using namespace meter;

std::vector<ByteView> polls(ByteView in) {
    std::vector<ByteView> out;
    std::size_t i = 0;
    while (i < in.size()) {
        const std::size_t want = in[i++];
        const std::size_t n = std::min(want, in.size() - i);
        out.push_back(in.subspan(i, n));
        i += n;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::vector<ByteView> ps = polls(ByteView(data + 1, size - 1));
    const auto check = [](const PitneyDecoded& v) {
        if (!digitsonly(v.digits) || (v.field && !digitsonly(*v.field))) std::abort();
        if (v.marker < 0 || v.marker > 5 || (v.marker == 0 && v.field)) std::abort();
    };
    if (!onepoll::firstdifference(ps, check).empty()) std::abort();
    return 0;
}
