// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/driver.h"
#include "acquire/families/read5400.h"
#include "acquire/families/readframed.h"
#include "acquire/families/readpitney.h"

namespace meter {

FamilyEntries standardentries() {
    return {{"5400", entry5400()}, {"pitney", entrypitney()}, {"framed", entryframed()}};
}

FamilyTable makefamilytable(const MachineTypes& types, const FamilyEntries& entries) {
    FamilyTable table;
    for (const MachineType& type : types) {
        if (!type.line) continue;
        if (const auto it = entries.find(type.family); it != entries.end())
            table[type.code] = it->second;
    }
    return table;
}

FamilyTable standardfamilies() {
    return makefamilytable(machinetypes(), standardentries());
}

} // namespace meter
