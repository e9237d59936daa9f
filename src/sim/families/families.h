// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The meter sides register themselves, one per file of sim/families/: the list of them is made
// from those files. A meter side's rank orders the sides an automatic meter tries in turn.
#include "sim/meter.h"

#include <memory>
#include <optional>
#include <utility>

namespace meter::sim {

// What a family's wire format made of the front of the input (its own kind of result, with the
// kinds notmine, needmore, request and rejected), as the meter takes it when it is no request:
// nothing, more to wait for, or `consumed` bytes rejected for its reason. nullopt for a
// request, which the family answers itself.
template <class Taken>
std::optional<Family::Take> unlessrequest(const Taken& t, std::size_t consumed) {
    using Kind = typename Taken::Kind;
    switch (t.kind) {
    case Kind::notmine:
        return Family::Take::none();
    case Kind::needmore:
        return Family::Take::more();
    case Kind::rejected:
        return Family::Take::reject(consumed, t.reason);
    case Kind::request:
        break;
    }
    return std::nullopt;
}

using RegisteredFamily = std::pair<int, std::unique_ptr<Family> (*)()>;

#define METER_SIMULATED_FAMILY(symbol, rank, maker)                                                \
    ::meter::sim::RegisteredFamily registeredmeter_##symbol() {                                    \
        return {rank, maker};                                                                      \
    }

} // namespace meter::sim
