// SPDX-License-Identifier: GPL-3.0-or-later
// The copote reply finder on arbitrary bytes from the line: it must never read out of bounds,
// and what it returns must be a well-formed record found inside the input.
#include "vendor/exchange.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const meter::ByteView input(data, size);
    if (auto found = meter::copote::findreply(input)) {
        if (found->record.size() != meter::copote::recorddigits || found->end > size) std::abort();
        for (char c : found->record)
            if (c < '0' || c > '9') std::abort();
    }
    return 0;
}
