// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/requests.h"

namespace meter {

void sendrequest(Driver& d, std::int16_t code, std::string_view name) {
    const MachineType& row = d.machinetype(code);
    RequestBuffer buffer{};
    if (const FamilyEntry* f = d.family(code); f && f->request) buffer = f->request(d, name);
    d.link().sendrequest(buffer, row.echolength);
}

std::uint8_t nextsequence(Driver& d, std::uint8_t& value) {
    const FamilyEntry* f = d.family(d.state().itype);
    return f && f->next ? f->next(d, value) : 0;
}

} // namespace meter
