// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bytes from the line, a vendor library or a file, made into UTF-8 text that any reader takes.
#include <string>
#include <string_view>

namespace meter {

// The text with every byte that is not part of well-formed UTF-8 replaced by U+FFFD.
std::string wellformedutf8(std::string_view in);

// The bytes as text of one character per byte (U+0000 to U+00FF), in UTF-8: any byte survives,
// and a record of digits stays digits.
std::string latin1toutf8(std::string_view bytes);

} // namespace meter
