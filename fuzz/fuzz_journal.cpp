// SPDX-License-Identifier: GPL-3.0-or-later
// The journal's reader on arbitrary bytes. The first byte chooses the size of the pieces the
// rest arrives in (1 to 256 bytes); the text must give the same rows as the whole fed at once,
// every field well-formed UTF-8 and within its bound.
#include "frontend/journal.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

using namespace meter;

bool wellformed(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3
                                   : b >= 0xF0 && b <= 0xF4   ? 4
                                                              : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

std::vector<JournalRow> rows(std::string_view text, std::size_t piece, bool& refused) {
    JournalParser parser;
    std::vector<JournalRow> out;
    for (std::size_t at = 0; at < text.size(); at += piece)
        parser.feed(text.substr(at, piece), out);
    refused = parser.refused();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = std::size_t{data[0]} + 1;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    bool wholerefused = false, piecesrefused = false;
    const auto whole = rows(text, text.size() + 1, wholerefused);
    const auto pieces = rows(text, piece, piecesrefused);
    if (wholerefused != piecesrefused || whole.size() != pieces.size()) std::abort();
    if (wholerefused && !whole.empty()) std::abort();
    for (std::size_t r = 0; r < whole.size(); ++r) {
        if (whole[r].fields != pieces[r].fields) std::abort();
        for (const std::string& field : whole[r].fields)
            if (field.size() > 3 * journalfieldlimit || !wellformed(field)) std::abort();
    }
    return 0;
}
