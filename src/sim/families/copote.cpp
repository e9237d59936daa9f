// SPDX-License-Identifier: GPL-3.0-or-later
// The "copote" meter's side of the stand-in vendor library's exchange.
#include "sim/families/families.h"
#include "vendor/exchange.h"

#include <algorithm>

namespace meter::sim {

namespace {

class Copote : public Family {
  public:
    const char* name() const override { return "copote"; }
    Take take(ByteView input, const Registers& registers, std::int16_t) override {
        const Bytes request = copote::request();
        const std::size_t n = std::min(input.size(), request.size());
        if (!std::equal(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(n),
                        request.begin()))
            return Take::none();
        if (n < request.size()) return Take::more();
        return Take::request(request.size(), copote::reply(registers.record()), "register record");
    }
};

} // namespace

METER_SIMULATED_FAMILY(copote, 4,
                       [] { return std::unique_ptr<Family>(std::make_unique<Copote>()); })

} // namespace meter::sim
