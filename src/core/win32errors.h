// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Our own words for the Windows error codes a technician meets when a port, a file or the
// vendor library cannot be used. They are English like every reason, and translated with it;
// the system's own message would be in whatever language and code page Windows has.
#include "core/reason.h"

#include <string_view>

namespace meter {

// Our code for `code` (a GetLastError() value), its text "... (error {n})"; none for a code
// without words of our own.
ReasonCode win32reasoncode(unsigned long code);

// The words for `code` (a GetLastError() value), as they follow "could not be opened (";
// empty for a code without words of our own.
std::string_view win32errorwords(unsigned long code);

} // namespace meter
