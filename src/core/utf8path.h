// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Paths are UTF-8 inside the program. std::filesystem::path takes and gives them through its
// u8string forms, which on Windows convert to and from the UTF-16 of the system's calls; its
// narrow string() would use the ANSI code page there.
#include <filesystem>
#include <string>
#include <string_view>

namespace meter {

inline std::filesystem::path utf8path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace meter
