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

class Meter5400 : public Family {
  public:
    const char* name() const override { return "5400"; }

    Take take(ByteView input, const Registers& registers, std::int16_t code) override {
        const Taken5400 t = take5400(input);
        switch (t.kind) {
        case Taken5400::Kind::notmine:
            return Take::none();
        case Taken5400::Kind::needmore:
            return Take::more();
        case Taken5400::Kind::rejected:
            return Take::reject(request5400size, t.reason);
        case Taken5400::Kind::request:
            break;
        }
        // In auto mode the machine type is not known; the postage goes out in units.
        const MachineType* row = findtype(code);
        const PostageScale scale =
            row && row->variant == Variant::postagetens ? PostageScale::tens : PostageScale::units;
        const std::string digits = meterdigits5400(t.code, field(t.code, registers), scale);
        return Take::request(request5400size, buildreply5400(t.code, digits),
                             registername5400(t.code));
    }
};

} // namespace

METER_SIMULATED_FAMILY(sim5400, 1,
                       [] { return std::unique_ptr<Family>(std::make_unique<Meter5400>()); })

} // namespace meter::sim
