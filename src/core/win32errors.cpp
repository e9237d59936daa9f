// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/win32errors.h"

#include <array>
#include <utility>

namespace meter {

ReasonCode win32reasoncode(unsigned long code) {
    static constexpr std::array<std::pair<unsigned long, ReasonCode>, 31> codes{{
        {1, ReasonCode::win_not_supported},
        {2, ReasonCode::win_file_not_found},
        {3, ReasonCode::win_path_not_found},
        {5, ReasonCode::win_access_denied},
        {6, ReasonCode::win_invalid_handle},
        {8, ReasonCode::win_no_memory},
        {14, ReasonCode::win_no_memory},
        {15, ReasonCode::win_invalid_drive},
        {19, ReasonCode::win_write_protect},
        {20, ReasonCode::win_bad_unit},
        {21, ReasonCode::win_not_ready},
        {22, ReasonCode::win_bad_command},
        {31, ReasonCode::win_gen_failure},
        {32, ReasonCode::win_sharing_violation},
        {33, ReasonCode::win_lock_violation},
        {55, ReasonCode::win_no_device},
        {87, ReasonCode::win_invalid_parameter},
        {109, ReasonCode::win_broken_pipe},
        {112, ReasonCode::win_disk_full},
        {121, ReasonCode::win_timeout},
        {123, ReasonCode::win_invalid_name},
        {126, ReasonCode::win_mod_not_found},
        {170, ReasonCode::win_busy},
        {193, ReasonCode::win_bad_exe_format},
        {206, ReasonCode::win_name_too_long},
        {216, ReasonCode::win_exe_machine_type},
        {231, ReasonCode::win_busy},
        {232, ReasonCode::win_broken_pipe},
        {233, ReasonCode::win_broken_pipe},
        {1167, ReasonCode::win_not_connected},
        {1617, ReasonCode::win_device_removed},
    }};
    for (const auto& [number, reason] : codes)
        if (number == code) return reason;
    return ReasonCode::none;
}

std::string_view win32errorwords(unsigned long code) {
    const ReasonCode reason = win32reasoncode(code);
    if (reason == ReasonCode::none) return {};
    constexpr std::string_view number = " (error {n})";
    const std::string_view english = reasontable()[static_cast<std::size_t>(reason) - 1].english;
    return english.substr(0, english.size() - number.size());
}

} // namespace meter
