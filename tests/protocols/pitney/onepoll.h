// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The reply cutting of a Pitney poll taken alone, written out literally, and the comparison of
// the reader's cutter against it over a run of polls. Shared by the property test and the fuzz
// target.
#include "protocols/pitney/pitney.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace meter::onepoll {

// What one poll hands to the decoder when it looks at its own bytes only: the frame from the
// first STX to the first ETX after it, or to the end of the poll; nothing when no byte follows
// the STX; a fault when more than 100 bytes follow it without an ETX.
struct Cut {
    enum class Kind { none, frame, fault } kind = Kind::none;
    PitneyFrame frame{};
    std::size_t count = 0;
    bool closed = false; // ended by its ETX
};

inline Cut cutpoll(ByteView poll) {
    Cut c;
    bool inside = false;
    for (std::uint8_t b : poll) {
        if (!inside) {
            if (b == 0x02) {
                inside = true;
                c.frame[0] = b;
            }
            continue;
        }
        if (c.count == 100) {
            c.kind = Cut::Kind::fault;
            return c;
        }
        c.frame[++c.count] = b;
        if (b == 0x03) {
            c.closed = true;
            break;
        }
    }
    if (c.count > 0) c.kind = Cut::Kind::frame;
    return c;
}

// The register value a poll taken alone reads soundly: its frame decodes to a register, and the
// value came whole within the poll (ended by the ETX, or the same whatever bytes had followed).
inline std::optional<PitneyDecoded> soundvalue(const Cut& c, const PitneyDecoded& v) {
    if (c.kind != Cut::Kind::frame || v.marker == 0 || bool(v.fault)) return std::nullopt;
    if (!c.closed) {
        PitneyFrame other = c.frame;
        std::fill(other.begin() + static_cast<std::ptrdiff_t>(c.count) + 1, other.end(), 0x99);
        if (decodepitney(other) != v) return std::nullopt;
    }
    return v;
}

// The first way the reader differs from the poll taken alone in `polls`, or "" when it never
// does: the reader must read every value a poll alone reads soundly, in that same poll, and may
// raise a fault only where the poll alone raises one too.
// `polls` holds the bytes of each poll (Bytes or ByteView); `seen` is shown every value the
// reader decodes.
template <class Polls, class Seen = void (*)(const PitneyDecoded&)>
std::string firstdifference(
    const Polls& polls, Seen seen = [](const PitneyDecoded&) {}) {
    PitneyCutter cutter;
    for (std::size_t p = 0; p < polls.size(); ++p) {
        const Cut alone = cutpoll(polls[p]);
        auto where = [p] { return "poll " + std::to_string(p) + ": "; };
        std::vector<PitneyDecoded> read;
        const PitneyCut cut = cutter.cut(polls[p]);
        bool fault = bool(cut.fault);
        for (const PitneyFrame& f : cut.frames) {
            read.push_back(decodepitney(f));
            seen(read.back());
            fault = fault || bool(read.back().fault);
        }
        const PitneyDecoded alonevalue =
            alone.kind == Cut::Kind::frame ? decodepitney(alone.frame) : PitneyDecoded{};
        const bool alonefault = alone.kind == Cut::Kind::fault || bool(alonevalue.fault);
        if (fault && !alonefault) return where() + "a fault the poll alone does not raise";
        if (const auto v = soundvalue(alone, alonevalue)) {
            if (fault) return where() + "a fault where the poll alone reads a value";
            if (std::find(read.begin(), read.end(), *v) == read.end())
                return where() + "register " + std::to_string(v->marker) + " digits " + v->digits +
                       " not read";
        }
        if (cutter.count() > 100) return where() + "the open frame holds more than 100 bytes";
    }
    return "";
}

} // namespace meter::onepoll
