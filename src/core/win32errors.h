// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Our own words for the Windows error codes a technician meets when a port, a file or the
// vendor library cannot be used. They are reasons like every other, in both languages; the
// system's own message would be in whatever language and code page Windows has.
#include "core/reason.h"

#include <string_view>

namespace meter {

// The code of our words for `code` (a GetLastError() value), one of the win_* codes; none for
// a code without words of our own.
ReasonCode win32errorcode(unsigned long code);

// What `code` means, as a reason: our words with the code ("access is denied (error 5)"); for
// a code without words of our own the system's message for it (UTF-8) with the code, or "an
// unknown error" when the system has none either.
Reason win32reason(unsigned long code, std::string_view systemmessage);

} // namespace meter
