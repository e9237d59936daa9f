// SPDX-License-Identifier: GPL-3.0-or-later
// Framed replies without a driver: what a reception stores from arbitrary polls, judged and
// decoded, fast enough for millions of inputs. Input as for fuzz_framed: a byte choosing the
// awaited reply, a byte choosing how many polls the line is spread over, then the line. Nothing
// may read out of bounds, a verdict must agree with the bytes it names, and a record must be 56
// digits. The decoders also get the raw line as a data block of any length.
#include "invariants.h"
#include "protocols/framed/framed.h"

#include <algorithm>
#include <array>
#include <cstdlib>

using namespace meter::fuzzing;

namespace {

using namespace meter;

constexpr std::size_t recorddigits = 56;

void checkdecoding(const Decoding& d) {
    if (d.ok() && (d.record.size() != recorddigits || !digitsonly(d.record))) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const ByteView line(data + 2, size - 2);
    const std::pair<FramedModel, std::int16_t> replies[] = {
        {FramedModel::neopost, neopostacknowledgement},
        {FramedModel::neopost, neopostregisterreply},
        {FramedModel::highspeed, highspeedregisterreply}};
    const ReplyForm* form = replyform(replies[data[0] % 3].first, replies[data[0] % 3].second);
    if (!form) std::abort();

    // The reception's store: polls until the reply is long enough, never past its buffer.
    std::array<std::uint8_t, 201> buffer{};
    std::size_t received = 0;
    const std::size_t step = line.size() / (1 + data[1] % 6) + 1;
    for (std::size_t i = 0; i < line.size() && received < form->length; i += step) {
        const ByteView poll = line.subspan(i, std::min(step, line.size() - i));
        if (poll.size() > buffer.size() - received) return 0; // the reply runs past the buffer
        std::copy(poll.begin(), poll.end(), buffer.begin() + static_cast<std::ptrdiff_t>(received));
        received += poll.size();
    }
    if (received >= form->length) {
        const ByteView reply(buffer.data(), received);
        const Verdict v = judgereply(*form, reply);
        switch (v.kind) {
        case Verdict::Kind::record:
            if (v.record.size() != recorddigits || !digitsonly(v.record)) std::abort();
            break;
        case Verdict::Kind::mismatch:
            if (reply[v.mismatch.index] == v.mismatch.value || reply[v.mismatch.index] != v.found)
                std::abort();
            break;
        case Verdict::Kind::accepted:
        case Verdict::Kind::refused:
            if (form->blocksize != 0 ||
                (reply[ackflagindex] == ackaccepted) != (v.kind == Verdict::Kind::accepted))
                std::abort();
            break;
        case Verdict::Kind::block:
            if (v.extraction.result == Extraction::Result::closed) std::abort();
            break;
        case Verdict::Kind::decoding:
            if (v.decoding.ok()) std::abort();
            break;
        }
    }

    const Extraction x = extractblock(line, data[1] % 2 ? neopostblock : highspeedblock);
    if (x.block.size() != (data[1] % 2 ? neopostblock : highspeedblock)) std::abort();
    checkdecoding(parseneopost(x.block));
    checkdecoding(parsehighspeed(x.block));
    checkdecoding(parseneopost(line));
    checkdecoding(parsehighspeed(line));
    return 0;
}
