// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/recordview.h"

namespace meter {

namespace {
// Characters from 1-based position `from`, at most `count` of them.
std::string mid(const std::string& s, std::size_t from, std::size_t count) {
    if (from - 1 >= s.size()) return {};
    return s.substr(from - 1, count);
}
} // namespace

RecordFields cutrecord(const std::string& record) {
    const std::size_t n = record.size();
    return {
        mid(record, 1, 12),
        mid(record, 13, 12),
        mid(record, 25, 12),
        mid(record, 37, 10),
        n >= 56 ? record.substr(n - 10) : mid(record, 47, 10),
    };
}

} // namespace meter
