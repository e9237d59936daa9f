// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the driver hands the serial link for a machine type: the line settings and the request
// echo length of the type's row.
#include "core/machinetypes.h"

#include <optional>

namespace meter::testing {

inline std::optional<LineSettings> lineof(std::int16_t code) {
    const MachineType* type = findtype(code);
    return type ? type->line : std::nullopt;
}

inline std::size_t echoof(std::int16_t code) {
    const MachineType* type = findtype(code);
    return type ? type->echolength : 0;
}

} // namespace meter::testing
