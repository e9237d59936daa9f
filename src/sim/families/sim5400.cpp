// SPDX-License-Identifier: GPL-3.0-or-later
// The meter side of the 5400 family: one register per request, its value in packed BCD, least
// significant byte first. The two machine types send identical requests and differ in the scale
// of the postage values: a "5400(5表头)" meter keeps postage in tens, so the record's used
// postage 000001234500 is 0000123450 on the meter, which the reader writes back ten times
// larger.
#include "protocols/5400/reply5400.h"
#include "protocols/5400/request5400.h"
#include "sim/families/families.h"

namespace meter::sim {

namespace {

// The register value a request code asks for, as the record holds it.
const std::string& field(std::uint8_t code, const Registers& r) {
    switch (code) {
    case 0x0C:
        return r.head;
    case 0x05:
        return r.used;
    case 0x06:
        return r.unused;
    default:
        return r.pieces;
    }
}

// The scale a machine type keeps its postage in; units in auto mode (code 0), where the type is
// not known.
PostageScale scaleof(std::int16_t code) {
    const MachineType* row = findtype(code);
    return row ? postagescale(row->model).value_or(PostageScale::units) : PostageScale::units;
}

// Why the meter cannot carry one of the values; empty when all fit. It keeps six digits of the
// head number, eight of the piece count and ten of each postage value, which a meter keeping
// tens holds in tens (so the units digit beyond them is dropped, as the meter itself would).
std::string unfit(PostageScale scale, const Registers& r) {
    const bool tens = scale == PostageScale::tens;
    const struct {
        const char* name;
        const std::string* value;
        std::size_t digits;
    } fields[] = {
        {"used postage", &r.used, tens ? 11u : 10u},
        {"unused postage", &r.unused, tens ? 11u : 10u},
        {"total piece count", &r.pieces, 8},
        {"meter head number", &r.head, 6},
    };
    for (const auto& f : fields) {
        const std::string digits = significant(*f.value);
        if (digits.size() > f.digits)
            return "the 5400 keeps " + std::to_string(tens ? 10 : f.digits) + " digits of " +
                   f.name + (tens && f.digits == 11 ? " in tens" : "") + "; " + digits +
                   " does not fit";
    }
    return {};
}

class Meter5400 : public Family {
  public:
    const char* name() const override { return "5400"; }

    std::string cannotshow(const Registers& registers, std::int16_t code) const override {
        const MachineType* row = findtype(code);
        if (code != 0 && (!row || std::string_view(row->family) != "5400")) return {};
        return unfit(scaleof(code), registers);
    }

    Take take(ByteView input, const Registers& registers, std::int16_t code) override {
        const Taken5400 t = take5400(input);
        if (std::optional<Take> other = unlessrequest(t, request5400size)) return *other;
        // In auto mode the machine type is not known; the postage goes out in units.
        const PostageScale scale = scaleof(code);
        // A value the meter cannot carry is never sent cut short.
        if (const std::string why = unfit(scale, registers); !why.empty())
            return Take::reject(request5400size,
                                std::string(registername5400(t.code)) + ": " + why);
        const std::string digits = meterdigits5400(t.code, field(t.code, registers), scale);
        return Take::request(request5400size, buildreply5400(t.code, digits),
                             registername5400(t.code));
    }
};

} // namespace

METER_SIMULATED_FAMILY(sim5400, 1,
                       [] { return std::unique_ptr<Family>(std::make_unique<Meter5400>()); })

} // namespace meter::sim
