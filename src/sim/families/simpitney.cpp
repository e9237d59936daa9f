// SPDX-License-Identifier: GPL-3.0-or-later
// The meter side of the pitney family: a "pitneybows 950" or "pitneybows spark" answering one
// register request at a time, and taking the spark's acknowledgement blocks.
#include "core/hexecho.h"
#include "protocols/pitney/pitney.h"
#include "sim/families/families.h"

namespace meter::sim {

namespace {

// The register value a request asks for, as the record holds it.
const std::string& field(std::uint8_t command, const Registers& r) {
    switch (command) {
    case 0x54:
        return r.total;
    case 0x52:
        return r.used;
    case 0x53:
        return r.unused;
    case 0x55:
        return r.pieces;
    default:
        return r.head;
    }
}

// The meter a machine type plays; none in auto mode (code 0) or for a type of another family.
std::optional<PitneyModel> modelof(std::int16_t code) {
    const MachineType* row = findtype(code);
    if (!row || std::string_view(row->family) != "pitney") return std::nullopt;
    return pitneymodel(row->model);
}

class Pitney : public Family {
  public:
    const char* name() const override { return "pitney"; }

    Take take(ByteView input, const Registers& registers, std::int16_t code) override {
        if (input.empty()) return Take::none();
        if (input[0] == ascii::ack) {
            // A meter that takes no acknowledgement (the 950) rejects one; in auto mode any
            // meter of the family may be played.
            if (modelof(code) == PitneyModel::plain)
                return Take::reject(1, "acknowledgement block (a 950 takes none)");
            const PitneyTaken ack = takepitneyack(input);
            if (std::optional<Take> other = unlessrequest(ack, ack.consumed)) return *other;
            return Take::request(ack.consumed, {}, "acknowledgement");
        }
        const PitneyTaken t = takepitneyrequest(input);
        if (std::optional<Take> other = unlessrequest(t, t.consumed)) return *other;

        // A reading begins with 0x21 and alternates; 0xA1 twice in a row is a reader's fault.
        const std::uint8_t previous = last_;
        last_ = t.toggle;
        if (t.toggle == pitneytoggleb && previous != pitneytogglea)
            return Take::reject(t.consumed, "toggle A1 not after 21 in" +
                                                hexecho(input.first(pitneyframebytes)));
        const std::uint8_t command = t.asked->command;
        return Take::request(t.consumed,
                             buildpitneyreply(t.toggle, command, field(command, registers)),
                             std::string(t.asked->name) + " (toggle " + hexpair(t.toggle) + ")");
    }

  private:
    std::uint8_t last_ = 0;
};

} // namespace

METER_SIMULATED_FAMILY(simpitney, 2,
                       [] { return std::unique_ptr<Family>(std::make_unique<Pitney>()); })

} // namespace meter::sim
