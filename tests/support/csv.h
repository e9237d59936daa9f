// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A strict RFC 4180 reader, to check what the writers produce: quoted fields, doubled quotes,
// CRLF between records. Throws std::runtime_error on anything else.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace meter::testing {

using CsvRow = std::vector<std::string>;

inline std::vector<CsvRow> parsecsv(std::string_view text) {
    std::vector<CsvRow> rows;
    CsvRow row;
    std::string f;
    std::size_t i = 0;
    auto fail = [&i](const char* what) {
        throw std::runtime_error(std::string(what) + " at byte " + std::to_string(i));
    };
    while (i < text.size()) {
        f.clear();
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size()) fail("unterminated quote");
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"')
                        ++i;
                    else
                        break;
                }
                f += text[i];
            }
            ++i;
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r') {
                if (text[i] == '"' || text[i] == '\n') fail("bare quote or line feed");
                f += text[i++];
            }
        }
        row.push_back(f);
        if (i < text.size() && text[i] == ',') {
            ++i;
        } else if (text.substr(i, 2) == "\r\n") {
            i += 2;
            rows.push_back(row);
            row.clear();
        } else {
            fail("field not followed by a comma or CRLF");
        }
    }
    if (!row.empty()) fail("last record without CRLF");
    return rows;
}

} // namespace meter::testing
