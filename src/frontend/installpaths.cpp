#include "frontend/installpaths.h"

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
    return exe.parent_path().string();
}

std::vector<std::string> privatefilecandidates(std::string_view name) {
    const std::string dir = executabledir();
    if (dir.empty()) return {};
    const fs::path here(dir);
    return {(here / name).string(),
            (here.parent_path() / "lib" / "meterreader" / name).lexically_normal().string()};
}

std::string findprivatefile(std::string_view name) {
    for (const std::string& candidate : privatefilecandidates(name)) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) return candidate;
    }
    return {};
}

} // namespace meter
