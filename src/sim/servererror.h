// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a simulated meter cannot be served: its pseudo-terminal, pipe or device cannot be made or
// opened. Thrown by the servers' constructors; what() is the English text.
#include "core/reason.h"

#include <stdexcept>

namespace meter::sim {

class ServerError : public ErrorWithReason<std::runtime_error> {
  public:
    using ErrorWithReason::ErrorWithReason;
};

} // namespace meter::sim
