// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The traffic echo: every byte becomes one blank and its value in capital hexadecimal without
// leading zero (0 -> " 0", 10 -> " A", 254 -> " FE").
#include "core/bytes.h"

#include <optional>
#include <string>
#include <string_view>

namespace meter {

std::string hexecho(ByteView bytes);

// The same for a single byte.
std::string hexecho(std::uint8_t byte);

// Two capital hexadecimal digits, always ("0A"), for logs and messages.
std::string hexpair(std::uint8_t byte);

// Any bytes as two capital hexadecimal digits each ("\x01\xFF" -> "01FF"), so that every byte
// crosses a text channel unchanged; and back, nullopt unless the text is exactly such pairs.
std::string hexpairs(std::string_view bytes);
std::optional<std::string> fromhexpairs(std::string_view hex);

} // namespace meter
