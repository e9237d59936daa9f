// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/meter.h"

#include "core/digits.h"
#include "core/hexecho.h"
#include "core/machinetypes.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace meter::sim {

namespace {
// Longer than any request frame of any family (the 98-byte neopost command, the 101-byte
// acknowledgement block).
constexpr std::size_t maxpending = 512;
} // namespace

Meter::Meter(Registers registers, Faults faults, std::int16_t code)
    : Meter(std::move(registers), faults, code, allfamilies()) {}

Meter::Meter(Registers registers, Faults faults, std::int16_t code,
             std::vector<std::unique_ptr<Family>> families, const MachineTypes& types)
    : registers_(std::move(registers)), faults_(faults), code_(code) {
    const MachineType* played = findtype(code_, types);
    for (auto& f : families)
        if (f && (code_ == 0 || (played && std::string_view(f->name()) == played->family)))
            families_.push_back(std::move(f));
}

Meter::~Meter() = default;

std::string Meter::cannotshow() const {
    std::string why;
    for (const auto& family : families_)
        if (const std::string w = family->cannotshow(registers_, code_); !w.empty())
            why += (why.empty() ? "" : "\n") + w;
    return why;
}

void Meter::log(const std::string& line) const {
    if (log_) log_(line);
}

void Meter::sent(ByteView bytes) const {
    log("tx" + hexecho(bytes));
}

std::vector<Emission> Meter::receive(ByteView bytes, std::int64_t nowms) {
    std::vector<Emission> out;
    if (dropped_ || bytes.empty()) return out;
    log("rx" + hexecho(bytes));
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());

    while (!pending_.empty()) {
        bool waiting = false;
        bool taken = false;
        for (auto& family : families_) {
            Family::Take t = family->take(pending_, registers_, code_);
            if (t.kind == Family::Take::Kind::notmine) continue;
            if (t.kind == Family::Take::Kind::needmore) {
                waiting = true;
                continue;
            }
            const std::size_t n = std::min(std::max<std::size_t>(t.consumed, 1), pending_.size());
            // A request that begins another reading of a meter in use is answered from the
            // registers as they are now: asked again of the same request.
            if (t.kind == Family::Take::Kind::request && !t.reply.empty() && nextreading(t.note))
                t = family->take(pending_, registers_, code_);
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
            taken = true;
            if (t.kind == Family::Take::Kind::rejected) {
                rejected_.push_back(t.note);
                log(std::string("rejected ") + family->name() + ": " + t.note);
                break;
            }
            taken_.push_back(t.note);
            log(std::string("request ") + family->name() + ": " + t.note);
            if (t.reply.empty()) break;
            ++requests_;
            if (faults_.dropafter > 0 && requests_ >= faults_.dropafter) {
                log("drop");
                dropped_ = true;
                out.push_back({0, {}, true});
                return out;
            }
            if (!faults_.silent) {
                auto emissions = answer(t.reply, nowms);
                out.insert(out.end(), emissions.begin(), emissions.end());
            }
            break;
        }
        if (taken) continue;
        // A frame start that never completes must not stall the meter for good.
        if (waiting && pending_.size() <= maxpending) break;
        // A byte that starts no frame of any family: line noise, or the idle bytes some
        // readers send after their frames.
        pending_.erase(pending_.begin());
    }
    return out;
}

bool Meter::nextreading(const std::string& note) {
    if (faults_.inuse == 0 && later_.empty()) return false;
    if (std::find(thisreading_.begin(), thisreading_.end(), note) == thisreading_.end()) {
        thisreading_.push_back(note);
        return false;
    }
    thisreading_.assign(1, note);
    ++readings_;
    if (!later_.empty()) {
        registers_ = later_[std::min<std::size_t>(static_cast<std::size_t>(readings_ - 2),
                                                  later_.size() - 1)];
    } else {
        registers_ = afteruse(registers_, faults_.inuse);
    }
    log("reading " + std::to_string(readings_) + ": used postage " + registers_.used +
        ", unused postage " + registers_.unused);
    return true;
}

Registers afteruse(Registers registers, long long amount) {
    const auto value = [](const std::string& digits) {
        unsigned long long v = 0;
        for (const char c : digits) v = v * 10 + static_cast<unsigned long long>(c - '0');
        return v;
    };
    const auto digits = [](unsigned long long v, std::size_t width) {
        std::string out(width, '0');
        for (std::size_t i = width; i-- > 0 && v != 0; v /= 10)
            out[i] = static_cast<char>('0' + v % 10);
        return out;
    };
    const unsigned long long unused = value(registers.unused);
    const unsigned long long moved =
        std::min(unused, amount < 0 ? 0ULL : static_cast<unsigned long long>(amount));
    const unsigned long long usedvalue = value(registers.used);
    // A used postage register full to its last digit stays as it is.
    if (moved > 999999999999ULL - usedvalue) return registers;
    registers.used = digits(usedvalue + moved, registers.used.size());
    registers.unused = digits(unused - moved, registers.unused.size());
    return registers;
}

std::vector<Emission> Meter::answer(Bytes reply, std::int64_t nowms) {
    if (faults_.corrupt >= 0 && static_cast<std::size_t>(faults_.corrupt) < reply.size())
        reply[static_cast<std::size_t>(faults_.corrupt)] ^= 0xFF;
    Bytes wire(static_cast<std::size_t>(std::max(faults_.noise, 0)), 0x55);
    wire.insert(wire.end(), reply.begin(), reply.end());
    if (faults_.twice) wire.insert(wire.end(), reply.begin(), reply.end());

    std::vector<Emission> out;
    const std::size_t chunk =
        faults_.chunk > 0 ? static_cast<std::size_t>(faults_.chunk) : wire.size();
    std::int64_t at = std::max(nowms + faults_.delayms, busyuntil_);
    for (std::size_t i = 0; i < wire.size(); i += chunk) {
        const auto end = std::min(wire.size(), i + chunk);
        out.push_back({static_cast<int>(at - nowms),
                       Bytes(wire.begin() + static_cast<std::ptrdiff_t>(i),
                             wire.begin() + static_cast<std::ptrdiff_t>(end)),
                       false});
        at += faults_.gapms;
    }
    // The line is free again after the last chunk and the gap that follows every chunk; a
    // reply due earlier waits, so two replies never interleave.
    busyuntil_ = at;
    return out;
}

std::int16_t parsetype(const std::string& text) {
    if (text == "auto") return 0;
    if (std::int16_t code = codefor(text)) return code;
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc() && end == text.data() + text.size() &&
        !textfor(static_cast<std::int16_t>(value)).empty())
        return static_cast<std::int16_t>(value);
    return -1;
}

std::string significant(const std::string& value) {
    const auto first = value.find_first_not_of('0');
    return first == std::string::npos ? std::string() : value.substr(first);
}

std::string registervalue(const std::string& value, std::size_t width) {
    if (value.empty() || value.size() > width ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    return zeropad(value, width);
}

} // namespace meter::sim
