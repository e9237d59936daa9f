// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/installpaths.h"

#include "core/utf8path.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace meter {

namespace fs = std::filesystem;

std::string executabledir() {
    std::error_code ec;
#ifdef _WIN32
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    const fs::path exe(buffer);
#else
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
#endif
    return utf8of(exe.parent_path());
}

std::vector<std::string> privatefilecandidates(std::string_view name) {
    const std::string dir = executabledir();
    if (dir.empty()) return {};
    const fs::path here = utf8path(dir);
#ifdef _WIN32
    // A Windows program's files are in its own folder, whether installed or copied.
    return {utf8of(here / utf8path(name))};
#else
    return {
        utf8of(here / utf8path(name)),
        utf8of((here.parent_path() / "lib" / "meterreader" / utf8path(name)).lexically_normal())};
#endif
}

std::vector<std::string> documentcandidates(std::string_view name) {
    const std::string dir = executabledir();
    if (dir.empty()) return {};
    const fs::path here = utf8path(dir);
    std::vector<std::string> out{utf8of(here / utf8path(name))};
#ifndef _WIN32
    out.push_back(utf8of((here.parent_path() / "share" / "doc" / "meterreader" / utf8path(name))
                             .lexically_normal()));
#endif
    return out;
}

std::string findprivatefile(std::string_view name) {
    for (const std::string& candidate : privatefilecandidates(name)) {
        std::error_code ec;
        if (fs::is_regular_file(utf8path(candidate), ec)) return candidate;
    }
    return {};
}

} // namespace meter
