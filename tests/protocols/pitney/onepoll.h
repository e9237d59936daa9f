#pragma once
// The reply cutting of a Pitney poll taken alone, written out literally, and the comparison of
// the reader's cutter against it over a run of polls. Shared by the property test and the fuzz
// target.
#include "core/metererror.h"
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

// What decoding one frame on its own gives: the register and its field, or the fault.
struct Value {
    std::size_t marker = 0; // 0: no register
    std::string record;
    std::string rxtext;
    std::string fault;
    bool operator==(const Value&) const = default;
};

inline Value decode(ByteView frame) {
    Value v;
    std::array<std::uint8_t, 6> flags{};
    try {
        parsepitney(frame, {v.rxtext, v.record, flags});
    } catch (const MeterError& e) {
        v.fault = e.what();
    }
    for (std::size_t k = 1; k < flags.size(); ++k)
        if (flags[k]) v.marker = k;
    return v;
}

// The register value a poll taken alone reads soundly: its frame decodes to a register, and the
// value came whole within the poll (ended by the ETX, or the same whatever bytes had followed).
inline std::optional<Value> soundvalue(const Cut& c) {
    if (c.kind != Cut::Kind::frame) return std::nullopt;
    const Value v = decode(c.frame);
    if (v.marker == 0 || !v.fault.empty()) return std::nullopt;
    if (!c.closed) {
        PitneyFrame other = c.frame;
        for (std::size_t i = c.count + 1; i < other.size(); ++i)
            other[i] = 0x99;
        if (decode(other) != v) return std::nullopt;
    }
    return v;
}

// The first way the reader differs from the poll taken alone in `polls`, or "" when it never
// does: the reader must read every value a poll alone reads soundly, in that same poll, and may
// raise a fault only where the poll alone raises one too.
inline std::string firstdifference(const std::vector<Bytes>& polls) {
    PitneyCutter cutter;
    for (std::size_t p = 0; p < polls.size(); ++p) {
        const Cut alone = cutpoll(polls[p]);
        const std::string where = "poll " + std::to_string(p) + ": ";
        std::vector<Value> read;
        bool fault = false;
        try {
            for (const PitneyFrame& f : cutter.cut(polls[p])) {
                read.push_back(decode(f));
                fault = fault || !read.back().fault.empty();
            }
        } catch (const MeterError&) {
            fault = true;
        }
        const bool alonefault =
            alone.kind == Cut::Kind::fault ||
            (alone.kind == Cut::Kind::frame && !decode(alone.frame).fault.empty());
        if (fault && !alonefault) return where + "a fault the poll alone does not raise";
        if (const auto v = soundvalue(alone)) {
            if (fault) return where + "a fault where the poll alone reads a value";
            if (std::find(read.begin(), read.end(), *v) == read.end())
                return where + "register " + std::to_string(v->marker) + " value " + v->record +
                       " not read";
        }
        if (cutter.count() > 100) return where + "the open frame holds more than 100 bytes";
    }
    return "";
}

} // namespace meter::onepoll
