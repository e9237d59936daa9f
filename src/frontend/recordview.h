// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a register record is shown: five labels, each a prefix and a field cut from the record by
// position.
#include <string>

namespace meter {

namespace prefix {
inline constexpr const char* total = "总邮资：";
inline constexpr const char* used = "已用邮资：";
inline constexpr const char* unused = "未用邮资：";
inline constexpr const char* pieces = "总件数：";
inline constexpr const char* head = "表头：";
// lbl_biao's text at creation, before the first reset.
inline constexpr const char* headatstart = "表头号：";
} // namespace prefix

struct RecordFields {
    std::string total;  // characters 1-12
    std::string used;   // 13-24
    std::string unused; // 25-36
    std::string pieces; // 37-46
    std::string head;   // the last 10 of a whole record; 47-56 of a shorter one
};

// Cuts by position whatever the record's length: a field beyond the end is empty, a field the
// record only partly covers shows what is there. The head is the record's last 10 characters
// once it has all 56 or more; a record cut short (a line lost mid-way) ends with another
// register, so there the head is cut by its position too, and is empty before character 47.
RecordFields cutrecord(const std::string& record);

} // namespace meter
