// SPDX-License-Identifier: GPL-3.0-or-later
// The serial devices of a Linux machine: every terminal in /sys/class/tty that a driver stands
// behind (pseudo-terminals and virtual consoles have none), an 8250 UART only when one answers
// at its address, and the stable /dev/serial/by-id links udev makes for USB adapters. What the
// USB device says of itself (product, maker, serial number) becomes the description.
#include "serial/portlist.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace meter {

namespace fs = std::filesystem;

namespace {

std::string firstline(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

// ttyS* are there whether or not a UART is: only the serial driver knows, by its port type.
bool uartanswers(const fs::path& device) {
#ifdef __linux__
    const int fd = ::open(device.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info{};
    const bool present = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return present;
#else
    (void)device;
    return false;
#endif
}

// The USB device above a terminal's sysfs node names itself in product, manufacturer, serial.
std::string usbdescription(const fs::path& node, const fs::path& sysroot) {
    std::error_code ec;
    fs::path at = fs::canonical(node, ec);
    if (ec) return {};
    for (int up = 0; up < 5 && at.native().starts_with(sysroot.native());
         ++up, at = at.parent_path()) {
        if (!fs::exists(at / "product", ec)) continue;
        std::vector<std::string> parts;
        for (const char* file : {"product", "manufacturer", "serial"}) {
            const std::string text = firstline(at / file);
            if (!text.empty() && std::find(parts.begin(), parts.end(), text) == parts.end())
                parts.push_back(text);
        }
        std::string out;
        for (const std::string& p : parts)
            out += (out.empty() ? "" : ", ") + p;
        return out;
    }
    return {};
}

// ttyUSB2 before ttyUSB10: names compare by their text, then by the number they end in.
bool naturalless(const std::string& a, const std::string& b) {
    const auto split = [](const std::string& s) {
        std::size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1])))
            --i;
        const std::string digits = s.substr(i);
        return std::pair{
            s.substr(0, i),
            digits.empty() ? -1L
                           : std::stol(digits.substr(0, std::min<std::size_t>(digits.size(), 9)))};
    };
    return split(a) < split(b);
}

} // namespace

std::vector<PresentPort> presentports(const std::string& root) {
    const fs::path top(root.empty() ? "/" : root);
    const fs::path sys = top / "sys";
    const fs::path dev = top / "dev";
    std::error_code ec;

    // Every terminal with hardware behind it, by its /dev path.
    std::map<std::string, std::string> known;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(sys / "class" / "tty", ec)) {
        const fs::path node = entry.path();
        std::error_code e;
        if (!fs::exists(node / "device", e)) continue;
        const std::string name = node.filename().string();
        const fs::path path = dev / name;
        if (!fs::exists(path, e)) continue;
        const std::string driver =
            fs::read_symlink(node / "device" / "driver", e).filename().string();
        if (driver == "serial8250" && !uartanswers(path)) continue;
        known[path.string()] = usbdescription(node / "device", sys);
        names.push_back(path.string());
    }
    std::sort(names.begin(), names.end(), naturalless);

    std::vector<PresentPort> out;
    std::set<std::string> seen;
    const auto add = [&](const std::string& path, const std::string& description) {
        if (seen.insert(path).second) out.push_back({path, description});
    };
    // The stable names first: they stay the same whichever socket the adapter is plugged into.
    std::vector<fs::path> links;
    for (const auto& entry : fs::directory_iterator(dev / "serial" / "by-id", ec))
        links.push_back(entry.path());
    std::sort(links.begin(), links.end());
    for (const fs::path& link : links) {
        std::error_code e;
        const std::string target = fs::canonical(link, e).string();
        if (e) continue;
        std::string description = target;
        if (auto it = known.find(target); it != known.end() && !it->second.empty())
            description += " — " + it->second;
        add(link.string(), description);
    }
    for (const char* prefix : {"ttyUSB", "ttyACM"})
        for (const std::string& path : names)
            if (fs::path(path).filename().string().starts_with(prefix)) add(path, known[path]);
    for (const std::string& path : names)
        add(path, known[path]);
    return out;
}

std::vector<PresentPort> presentports() {
    return presentports("/");
}

bool portmissing(const std::string& path) {
    std::error_code ec;
    return path.starts_with('/') && !fs::exists(path, ec);
}

} // namespace meter
