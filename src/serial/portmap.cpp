// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/portmap.h"

#include <charconv>
#include <cstdlib>

namespace meter {

std::string PortMap::defaultdevice(int port) {
    if (port < 1) return {};
#ifdef _WIN32
    return "COM" + std::to_string(port);
#else
    return "/dev/ttyS" + std::to_string(port - 1);
#endif
}

std::string PortMap::devicefor(int port) const {
    if (port < 1) return {};
    if (auto it = overrides_.find(port); it != overrides_.end()) return it->second;
    return defaultdevice(port);
}

void PortMap::set(int port, std::string path) {
    if (port < 1 || port > 8) throw PortMapError(Reason(ReasonCode::ports_number_outside, port));
    if (path.empty()) throw PortMapError(Reason(ReasonCode::ports_no_path, port));
    overrides_[port] = std::move(path);
}

void PortMap::adddevice(std::string_view entry) {
    const auto eq = entry.find('=');
    if (eq == std::string_view::npos || eq == 0)
        throw PortMapError(Reason(ReasonCode::ports_not_entry, entry));
    const std::string_view number = entry.substr(0, eq);
    int port = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), port);
    if (ec != std::errc() || end != number.data() + number.size())
        throw PortMapError(Reason(ReasonCode::ports_not_number, number, entry));
    set(port, std::string(entry.substr(eq + 1)));
}

void PortMap::addoverrides(std::string_view text) {
    while (!text.empty()) {
        const auto semi = text.find(';');
        const std::string_view entry = text.substr(0, semi);
        if (!entry.empty()) adddevice(entry);
        if (semi == std::string_view::npos) break;
        text.remove_prefix(semi + 1);
    }
}

std::string PortMap::overridestext() const {
    std::string out;
    for (const auto& [port, path] : overrides_) {
        if (!out.empty()) out += ';';
        out += std::to_string(port) + '=' + path;
    }
    return out;
}

std::string win32devicename(std::string_view path) {
    const auto digits = path.size() > 3 ? path.substr(3) : std::string_view();
    const bool com = path.size() > 3 && (path[0] == 'C' || path[0] == 'c') &&
                     (path[1] == 'O' || path[1] == 'o') && (path[2] == 'M' || path[2] == 'm') &&
                     digits.find_first_not_of("0123456789") == std::string_view::npos;
    return com ? "\\\\.\\" + std::string(path) : std::string(path);
}

PortMap PortMap::fromenvironment() {
    PortMap map;
    if (const char* value = std::getenv(portsvariable)) {
        try {
            map.addoverrides(value);
        } catch (const PortMapError& e) {
            throw PortMapError(Reason(ReasonCode::ports_variable, portsvariable, e.reason()));
        }
    }
    return map;
}

} // namespace meter
