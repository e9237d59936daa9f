// SPDX-License-Identifier: GPL-3.0-or-later
// The meter side of the framed family: the neopost, which acknowledges command 5 and answers
// command 2 with its registers, and the high-speed machine, which answers its one command with
// its registers. A wrong command frame gets no answer.
#include "protocols/framed/framed.h"
#include "sim/families/families.h"

namespace meter::sim {

namespace {

// The model a machine type plays; none for auto mode (code 0) or a type of no framed model.
std::optional<FramedModel> modelof(std::int16_t code) {
    const MachineType* row = findtype(code);
    if (!row || std::string_view(row->family) != "framed") return std::nullopt;
    return framedmodel(row->model);
}

// Why a register of `model` cannot hold one of the values; empty when all fit. The neopost
// keeps ten-digit postage registers.
std::string unfit(FramedModel model, const Registers& r) {
    static const char* const names[5] = {"total postage", "used postage", "unused postage",
                                         "total piece count", "meter head number"};
    const std::string* values[5] = {&r.total, &r.used, &r.unused, &r.pieces, &r.head};
    const bool neopost = model == FramedModel::neopost;
    const auto cuts = neopost ? neopostcuts() : highspeedcuts();
    // The values given come before the total worked out from them.
    for (const std::size_t i : {1, 2, 0, 3, 4})
        if (significant(*values[i]).size() > cuts[i].length)
            return std::string(neopost ? "the neopost" : "the 高速机") + " keeps " +
                   std::to_string(cuts[i].length) + " digits of " + names[i] + "; " +
                   significant(*values[i]) + " does not fit";
    return {};
}

class Framed : public Family {
  public:
    const char* name() const override { return "framed"; }

    Take take(ByteView input, const Registers& r, std::int16_t code) override {
        const std::optional<FramedModel> played = modelof(code);
        if (code != 0 && !played) return Take::none();
        const FramedTaken t = takecommand(input, played);
        if (std::optional<Take> other = unlessrequest(t, t.consumed)) return *other;
        const std::string note = t.note;
        if (const std::string why = unfit(t.model, r); !why.empty() && t.command != neopostopen)
            return Take::reject(t.consumed, note + ": " + why);
        const RegisterValues values{r.total, r.used, r.unused, r.pieces, r.head};
        if (t.model == FramedModel::highspeed)
            return Take::request(t.consumed, buildhighspeedreply(values, t.seqchar), note);
        if (t.command == neopostopen)
            return Take::request(t.consumed, buildacknowledgement(t.seqchar), note);
        return Take::request(t.consumed, buildneopostreply(values, t.seqchar), note);
    }

    std::string cannotshow(const Registers& registers, std::int16_t code) const override {
        std::string why;
        const std::optional<FramedModel> played = modelof(code);
        if (code != 0 && !played) return why;
        for (const FramedModel model : {FramedModel::neopost, FramedModel::highspeed})
            if (!played || *played == model)
                if (const std::string w = unfit(model, registers); !w.empty())
                    why += (why.empty() ? "" : "\n") + w;
        return why;
    }
};

} // namespace

METER_SIMULATED_FAMILY(simframed, 3,
                       [] { return std::unique_ptr<Family>(std::make_unique<Framed>()); })

} // namespace meter::sim
