// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The exchange between the stand-in "copote" library and the meter (see docs/copote-exchange.md):
//   request  STX 'C' 'P' 'R' ETX
//   reply    STX, the 56 record digits in ASCII, ETX, two check characters: the sum of the 56
//            digit bytes modulo 256 as two capital hexadecimal digits.
#include "core/bytes.h"

#include <optional>
#include <string>
#include <string_view>

namespace meter::copote {

inline constexpr std::size_t recorddigits = 56;
inline constexpr std::size_t replylength = 1 + recorddigits + 1 + 2;

Bytes request();
// True when `bytes` begins with the request.
bool isrequest(ByteView bytes);

// The reply carrying `record` (56 digits).
Bytes reply(std::string_view record);

struct Found {
    std::string record;
    std::size_t end; // bytes of the buffer consumed up to the end of the reply
};
// The first complete, well-formed reply in `buffer`; nullopt while none is there yet.
std::optional<Found> findreply(ByteView buffer);

} // namespace meter::copote
