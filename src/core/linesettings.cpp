// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/linesettings.h"

namespace meter {

std::string LineSettings::text() const {
    return std::to_string(baud) + ',' + parity + ',' + std::to_string(databits) + ',' +
           std::to_string(stopbits);
}

} // namespace meter
