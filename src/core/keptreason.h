// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A reason read back from what the files keep of it: its code's name and its English text. The
// text is matched against the code's English form, a reason inside it against every form, so
// that it can be shown again in any language.
#include "core/reason.h"

#include <optional>
#include <string_view>

namespace meter {

// The reason whose kept English text is `english` and whose code, or the code of a reason
// within it, is named `code`; with no code, the first whose form fits. Nullopt when none fits exactly (a text edited by hand, or
// written by a version whose words were different).
std::optional<Reason> keptreason(std::string_view code, std::string_view english);

} // namespace meter
