// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows only: text across the system's boundary, which is UTF-16, and the system's error
// codes as words of a reason.
#include "core/reason.h"

#include <string>
#include <string_view>

namespace meter {

// UTF-8 to UTF-16 and back; malformed input becomes U+FFFD.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// What the system error `code` (GetLastError()) means, as a reason: our own words for the codes
// a technician meets (a win_* code, in both languages), the system's own message in the user's
// language for the rest (system_message_code); always followed by the code, as "access is
// denied (error 5)".
Reason win32error(unsigned long code);

} // namespace meter
