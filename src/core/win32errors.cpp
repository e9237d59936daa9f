// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/win32errors.h"

#include <array>
#include <utility>

namespace meter {

ReasonCode win32errorcode(unsigned long code) {
    using R = ReasonCode;
    static constexpr std::array<std::pair<unsigned long, ReasonCode>, 31> words{{
        {1, R::win_not_supported},
        {2, R::win_file_not_found},
        {3, R::win_path_not_found},
        {5, R::win_access_denied},
        {6, R::win_invalid_handle},
        {8, R::win_no_memory},
        {14, R::win_no_memory},
        {15, R::win_invalid_drive},
        {19, R::win_write_protect},
        {20, R::win_bad_unit},
        {21, R::win_not_ready},
        {22, R::win_bad_command},
        {31, R::win_gen_failure},
        {32, R::win_sharing_violation},
        {33, R::win_lock_violation},
        {55, R::win_no_device},
        {87, R::win_invalid_parameter},
        {109, R::win_broken_pipe},
        {112, R::win_disk_full},
        {121, R::win_timeout},
        {123, R::win_invalid_name},
        {126, R::win_mod_not_found},
        {170, R::win_busy},
        {193, R::win_bad_exe_format},
        {206, R::win_name_too_long},
        {216, R::win_exe_machine_type},
        {231, R::win_busy},
        {232, R::win_broken_pipe},
        {233, R::win_broken_pipe},
        {1167, R::win_not_connected},
        {1617, R::win_device_removed},
    }};
    for (const auto& [number, reason] : words)
        if (number == code) return reason;
    return R::none;
}

Reason win32reason(unsigned long code, std::string_view systemmessage) {
    if (const ReasonCode ours = win32errorcode(code); ours != ReasonCode::none)
        return Reason(ours, code);
    if (systemmessage.empty()) return Reason(ReasonCode::win_unknown, code);
    return Reason(ReasonCode::system_message_code, systemmessage, code);
}

} // namespace meter
