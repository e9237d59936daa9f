// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/digits.h"
#include "core/hexecho.h"
#include "protocols/pitney/pitney.h"

#include <algorithm>

namespace meter {

namespace {

std::uint8_t at(ByteView bytes, std::size_t i) {
    return i < bytes.size() ? bytes[i] : std::uint8_t{0x00};
}

// The record holds nothing read yet.
bool allzero(const std::string& record) {
    return record.size() == 56 &&
           std::all_of(record.begin(), record.end(), [](char c) { return c == '0'; });
}

// Marker number and whether the field is postage, by answer code; 0 for a code of no register.
struct Answer {
    int marker = 0;
    bool money = false;
};
// A reply answers a register's request with the command byte plus pitneyanswer; the register's
// place in the record is its marker. The three postage registers carry money.
Answer answerfor(std::uint8_t code) {
    for (std::size_t k = 0; k < pitneyregisters.size(); ++k)
        if (code == pitneyregisters[k].command + pitneyanswer)
            return {static_cast<int>(k + 1), k < 3};
    return {};
}

} // namespace

PitneyFormat pitneyformat(std::uint8_t byte) {
    // Read from the byte's hexadecimal text, so a byte below 0x10 (a one-character text) gives
    // its own value both as digit count and as decimals code.
    const int first = byte >= 0x10 ? byte >> 4 : byte;
    const int last = byte & 0x0F;
    PitneyFormat f;
    f.digits = first;
    f.rawlength = f.digits + f.digits % 2;
    f.length = f.rawlength / 2;
    f.decimals = static_cast<char>(last < 10 ? '0' + last : 'A' + last - 10);
    return f;
}

namespace {

// One pass over the value: the digits (when kept), how many bytes of `work` it read, and the
// byte that stopped it, if any.
struct ValueScan {
    std::string digits;
    std::size_t read = 0;
    bool faulty = false;
    bool escapedfault = false; // the fault is an escaped byte below 0x80
    std::uint8_t bad = 0;

    Reason fault() const {
        if (!faulty) return {};
        if (escapedfault) return Reason(ReasonCode::escaped_below_80, hexpair(bad));
        return Reason(ReasonCode::not_packed_decimal, hexpair(bad));
    }
};

ValueScan walkdigits(ByteView work, int length, bool keepdigits) {
    ValueScan w;
    bool escaped = false;
    // Each stuffing byte lengthens the stretch; past the end of the work buffer every byte is
    // 0x00, which adds no length, so the loop ends.
    for (int i = 0; i < length; ++i) {
        const std::uint8_t b = at(work, static_cast<std::size_t>(i));
        w.read = static_cast<std::size_t>(i) + 1;
        const bool packed = unpackbcd(b).has_value();
        if (!packed || (escaped && b != pitneyescape && b < pitneyescapeoffset)) {
            w.faulty = true;
            w.escapedfault = packed;
            w.bad = b;
            return w;
        }
        if (b == pitneyescape) {
            escaped = true;
            ++length;
            continue;
        }
        if (keepdigits)
            w.digits += *unpackbcd(escaped ? static_cast<std::uint8_t>(b - pitneyescapeoffset) : b);
        escaped = false;
    }
    return w;
}

// The value as the decoder sees it: the raw-length bytes after the format byte, 0x00 beyond.
std::array<std::uint8_t, 31> workbuffer(ByteView frame, const PitneyFormat& format) {
    std::array<std::uint8_t, 31> work{};
    const std::size_t there = frame.size() > 4 ? frame.size() - 4 : 0;
    const std::size_t n = std::min(static_cast<std::size_t>(format.rawlength), there);
    std::copy_n(frame.begin() + (n > 0 ? 4 : 0), n, work.begin());
    return work;
}

} // namespace

Decoded decodedigits(ByteView work, int length) {
    ValueScan w = walkdigits(work, length, true);
    return {std::move(w.digits), w.fault()};
}

bool pitneyreply(std::uint8_t code) {
    return answerfor(code).marker != 0;
}

PitneyValueSpan pitneyvaluespan(ByteView frame) {
    const PitneyFormat format = pitneyformat(at(frame, 3));
    const ValueScan w = walkdigits(workbuffer(frame, format), format.length, false);
    // Work bytes beyond the raw length are zeros of the decoder's own, not frame bytes.
    const std::size_t fromframe = std::min(w.read, static_cast<std::size_t>(format.rawlength));
    return {3 + fromframe, w.faulty};
}

std::string tendigitfield(std::string_view digits) {
    if (digits.empty()) return {};
    const auto first = digits.find_first_not_of('0');
    const std::string_view value =
        first == std::string_view::npos ? std::string_view() : digits.substr(first);
    return zeropad(value, 10);
}

std::optional<std::string> moneyfield(std::string_view digits, char decimals) {
    if (decimals != 'F' && decimals != '1' && decimals != '2') return std::nullopt;
    // A reply without digits gives none; one with only decimals has the whole part 0.
    if (digits.empty()) return std::string();
    const std::size_t kept = decimals == '2' ? 2 : decimals == '1' ? 1 : 0;
    const std::size_t cut = digits.size() > kept ? digits.size() - kept : 0;
    const std::string_view whole = digits.substr(0, cut);
    std::string field = whole.empty() ? std::string(10, '0') : tendigitfield(whole);
    field += digits.substr(cut);
    if (decimals == '1') field += '0';
    if (decimals == 'F') field += "00";
    return field;
}

PitneyDecoded decodepitney(ByteView frame) {
    PitneyDecoded d;
    if (at(frame, 0) != ascii::stx) return d;
    const std::uint8_t code = at(frame, 2);
    const Answer answer = answerfor(code);
    if (answer.marker == 0) return d;
    d.marker = answer.marker;
    const PitneyFormat format = pitneyformat(at(frame, 3));
    ValueScan w = walkdigits(workbuffer(frame, format), format.length, true);
    d.digits = std::move(w.digits);
    if (w.faulty) {
        d.fault = w.fault();
        return d;
    }
    d.field = answer.money ? moneyfield(d.digits, format.decimals) : tendigitfield(d.digits);
    return d;
}

Decoded parsepitney(ByteView frame, PitneyTarget target) {
    if (at(frame, 0) != ascii::stx) return {target.rxtext, {}};
    const std::uint8_t code = at(frame, 2);
    const Answer answer = answerfor(code);
    if (answer.marker == 0) return {target.rxtext, {}};
    auto& marker = target.replyflags[static_cast<std::size_t>(answer.marker)];
    // Each register counts once per reading: a repeated reply changes nothing.
    if (marker != 0) return {target.rxtext, {}};

    PitneyDecoded d = decodepitney(frame);
    target.rxtext = d.digits;
    if (d.fault) return {std::move(d.digits), std::move(d.fault)};
    std::string& record = target.regrecord;
    if (code == pitneyregisters[0].command + pitneyanswer) {
        // The total opens the record: it replaces the all-zero record it starts from.
        if (allzero(record)) record.clear();
        if (d.field) record = *d.field;
    } else if (d.field) {
        record += *d.field;
    }
    marker = 1;
    return {std::move(d.digits), {}};
}

} // namespace meter
