// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/family.h"

namespace meter {

FamilyTable makefamilytable(const MachineTypes& types, const FamilyMakers& makers) {
    FamilyTable table;
    for (const MachineType& type : types) {
        if (!type.line) continue;
        if (const auto it = makers.find(type.family); it != makers.end())
            table[type.code] = it->second;
    }
    return table;
}

FamilyTable standardfamilies() {
    return makefamilytable(machinetypes(), standardmakers());
}

} // namespace meter
